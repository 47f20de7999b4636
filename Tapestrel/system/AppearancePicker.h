#pragma once

#include "Tapestrel/system/ChoiceOptionPicker.h"

// Segments "Light" and "Dark" that store "light" or "dark".
class AppearancePicker : public ChoiceOptionPicker
{
    Q_OBJECT

public:
    explicit AppearancePicker(Option *option, QWidget *parent = nullptr);
};

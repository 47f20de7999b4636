#pragma once

#include "Tapestrel/system/ChoiceOptionPicker.h"

// "Dock Position": Left, Bottom, Right.
class DockPositionPicker : public ChoiceOptionPicker
{
    Q_OBJECT

public:
    explicit DockPositionPicker(Option *option, QWidget *parent = nullptr);
};

#pragma once

#include "Tapestrel/system/ChoiceOptionPicker.h"

// "Liquid Glass": segments Clear and Tinted that store "0" and "1".
class LiquidGlassStylePicker : public ChoiceOptionPicker
{
    Q_OBJECT

public:
    explicit LiquidGlassStylePicker(Option *option, QWidget *parent = nullptr);
};

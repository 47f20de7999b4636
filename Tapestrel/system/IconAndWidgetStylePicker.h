#pragma once

#include "Tapestrel/system/ChoiceOptionPicker.h"

// "Icon and Widget Style": the styles grouped as Default | Dark | Clear | Tinted.
class IconAndWidgetStylePicker : public ChoiceOptionPicker
{
    Q_OBJECT

public:
    explicit IconAndWidgetStylePicker(Option *option, QWidget *parent = nullptr);
};

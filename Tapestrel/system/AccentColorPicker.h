#pragma once

#include "Tapestrel/system/ChoiceOptionPicker.h"

// "Theme Color": Multicolor, then the colours with their swatches.
class AccentColorPicker : public ChoiceOptionPicker
{
    Q_OBJECT

public:
    explicit AccentColorPicker(Option *option, QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;
};

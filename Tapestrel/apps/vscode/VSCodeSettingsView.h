#pragma once

#include "Tapestrel/apps/frame/ChoiceSheet.h"

class VSCodeProfilePicker;

// The sheet in which the user chooses the VS Code profile whose theme every profile sets.
class VSCodeSettingsView : public ChoiceSheet
{
    Q_OBJECT

public:
    explicit VSCodeSettingsView(QWidget *parent = nullptr);

    VSCodeProfilePicker *picker() const { return m_picker; }

private:
    VSCodeSettingsView(VSCodeProfilePicker *picker, QWidget *parent);

    VSCodeProfilePicker *m_picker;
};

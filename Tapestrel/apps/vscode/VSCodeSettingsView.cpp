#include "Tapestrel/apps/vscode/VSCodeSettingsView.h"

#include "Tapestrel/apps/vscode/VSCodeProfilePicker.h"

VSCodeSettingsView::VSCodeSettingsView(QWidget *parent)
    : VSCodeSettingsView(new VSCodeProfilePicker, parent)
{ }

VSCodeSettingsView::VSCodeSettingsView(VSCodeProfilePicker *picker, QWidget *parent)
    : ChoiceSheet(tr("Visual Studio Code"), picker,
                  tr("Only one profile can be selected, and it applies globally to all themes."), parent)
    , m_picker(picker)
{
    setObjectName(QStringLiteral("VSCodeSettingsView"));
}

#include "Tapestrel/apps/obsidian/ObsidianSettingsView.h"

#include "Tapestrel/apps/obsidian/ObsidianVaultPicker.h"

ObsidianSettingsView::ObsidianSettingsView(QWidget *parent)
    : ObsidianSettingsView(new ObsidianVaultPicker, parent)
{ }

ObsidianSettingsView::ObsidianSettingsView(ObsidianVaultPicker *picker, QWidget *parent)
    : ChoiceSheet(tr("Obsidian"), picker,
                  tr("Only one vault can be selected, and it applies globally to all themes."), parent)
    , m_picker(picker)
{
    setObjectName(QStringLiteral("ObsidianSettingsView"));
}

#include "Tapestrel/apps/obsidian/ObsidianThemePicker.h"

#include "Tapestrel/apps/obsidian/ObsidianSelectedVaultController.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeStore.h"

ObsidianThemePicker::ObsidianThemePicker(Option *option, QWidget *parent)
    : ObsidianThemePicker(option, new ObsidianSelectedVaultController, parent)
{ }

ObsidianThemePicker::ObsidianThemePicker(Option *option, ObsidianSelectedVaultController *controller,
                                         QWidget *parent)
    : ObsidianThemePicker(option, controller, new ObsidianThemeStore(controller->vault()), parent)
{ }

ObsidianThemePicker::ObsidianThemePicker(Option *option, ObsidianSelectedVaultController *controller,
                                         ObsidianThemeStore *store, QWidget *parent)
    : ThemePicker(
        option, tr("Theme"), ObsidianThemeOptionModel::doNotSetValue,
        [store] { return builtInAndCustomSections(*store, ThemePicker::customHeader()); }, store, {}, parent)
    , m_controller(controller)
    , m_store(store)
{
    setObjectName(QStringLiteral("ObsidianThemePicker"));
    m_controller->setParent(this);
    m_store->setParent(this);
    connect(m_controller, &ObsidianSelectedVaultController::vaultChanged, this,
            [this] { m_store->setVault(m_controller->vault()); });
}

#include "Tapestrel/apps/vscode/VSCodeThemePicker.h"

#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"
#include "Tapestrel/apps/vscode/VSCodeThemeOptionModel.h"
#include "Tapestrel/apps/vscode/VSCodeThemeStore.h"

VSCodeThemePicker::VSCodeThemePicker(Option *option, QWidget *parent)
    : VSCodeThemePicker(option, new VSCodeSelectedProfileController, parent)
{ }

VSCodeThemePicker::VSCodeThemePicker(Option *option, VSCodeSelectedProfileController *controller,
                                     QWidget *parent)
    : VSCodeThemePicker(option, controller, new VSCodeThemeStore(controller->profile()), parent)
{ }

VSCodeThemePicker::VSCodeThemePicker(Option *option, VSCodeSelectedProfileController *controller,
                                     VSCodeThemeStore *store, QWidget *parent)
    : ThemePicker(
        option, tr("Theme"), VSCodeThemeOptionModel::doNotSetValue,
        [store] { return builtInAndCustomSections(*store, ThemePicker::customHeader()); }, store, {}, parent)
    , m_controller(controller)
    , m_store(store)
{
    controller->setParent(this);
    store->setParent(this);
    connect(controller, &VSCodeSelectedProfileController::profileChanged, this,
            [this] { m_store->setProfile(m_controller->profile()); });
}

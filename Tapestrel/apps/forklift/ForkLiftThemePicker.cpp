#include "Tapestrel/apps/forklift/ForkLiftThemePicker.h"

#include "Tapestrel/apps/forklift/ForkLiftThemeStore.h"

ForkLiftThemePicker::ForkLiftThemePicker(Option *option, ForkLiftThemeStore *themeStore, QWidget *parent)
    : ThemePicker(
        option, tr("Theme"), QString(),
        [themeStore] { return builtInAndCustomSections(*themeStore, customHeader()); }, themeStore,
        [themeStore] { themeStore->reloadCustomThemes(); }, parent)
{
    setObjectName(QStringLiteral("ForkLiftThemePicker"));
}

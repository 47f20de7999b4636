#include "Tapestrel/apps/alfred/AlfredThemePicker.h"

#include "Tapestrel/apps/alfred/AlfredThemeStore.h"

AlfredThemePicker::AlfredThemePicker(Option *option, AlfredThemeStore *themeStore, QWidget *parent)
    : ThemePicker(
        option, tr("Theme"), QString(),
        [themeStore] { return builtInAndCustomSections(*themeStore, customHeader()); }, themeStore,
        [themeStore] { themeStore->reloadCustomThemes(); }, parent)
{
    setObjectName(QStringLiteral("AlfredThemePicker"));
}

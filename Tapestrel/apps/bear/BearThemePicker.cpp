#include "Tapestrel/apps/bear/BearThemePicker.h"

#include "Tapestrel/apps/bear/BearThemeStore.h"

BearThemePicker::BearThemePicker(Option *option, BearThemeStore *themeStore, QWidget *parent)
    : ThemePicker(
        option, tr("Theme"), QString(),
        [themeStore] {
            Section section;
            for (const BearTheme &theme : themeStore->themes())
                section.rows.append({theme.name, theme.id});
            return QList<Section> {section};
        },
        themeStore, {}, parent)
{
    setObjectName(QStringLiteral("BearThemePicker"));
}

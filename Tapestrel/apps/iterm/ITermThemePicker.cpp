#include "Tapestrel/apps/iterm/ITermThemePicker.h"

namespace {

ThemePicker::Sections presetSections(const ITermThemeStore *store)
{
    return [store] {
        ThemePicker::Section builtIn {ThemePicker::builtInHeader(), {}};
        for (const ITermTheme &theme : store->defaultThemes())
            builtIn.rows.append({theme.name, theme.name});
        ThemePicker::Section custom {ThemePicker::customHeader(), {}};
        for (const ITermTheme &theme : store->customThemes())
            custom.rows.append({theme.name, theme.name});
        return QList<ThemePicker::Section> {builtIn, custom};
    };
}

} // namespace

ITermThemePicker::ITermThemePicker(Option *option, ITermThemeStore *store, QWidget *parent)
    : ThemePicker(option, tr("Theme"), QString(), presetSections(store), store, {}, parent)
{
    store->setParent(this);
    setHasDivider(false);
}

#include "Tapestrel/apps/terminal/TerminalThemePicker.h"

#include "Tapestrel/apps/terminal/TerminalThemeStore.h"

TerminalThemePicker::TerminalThemePicker(Option *option, std::unique_ptr<TerminalThemeStore> themeStore,
                                         const QString &title, QWidget *parent)
    : ThemePicker(
        option, title, QString(),
        [store = themeStore.get()] {
            Section section;
            for (const TerminalTheme &theme : store->themes())
                section.rows.append({theme.name, theme.name});
            return QList<Section> {section};
        },
        themeStore.get(), {}, parent)
    , m_themeStore(std::move(themeStore))
{
    setObjectName(QStringLiteral("TerminalThemePicker"));
}

TerminalThemePicker::~TerminalThemePicker() = default;

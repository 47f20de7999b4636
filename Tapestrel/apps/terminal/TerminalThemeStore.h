#pragma once

#include "Tapestrel/apps/frame/ThemeStore.h"

#include <QHash>
#include <QString>

// One of Terminal's own profiles, known by its name.
struct TerminalTheme
{
    QString name;

    friend bool operator==(const TerminalTheme &, const TerminalTheme &) = default;
};

inline size_t qHash(const TerminalTheme &theme, size_t seed = 0)
{
    return qHash(theme.name, seed);
}

// The names of Terminal's profiles: the keys of "Window Settings" in its domain, sorted by name, as
// they are when the store is made. One list; nothing is built in.
class TerminalThemeStore : public ThemeStore<TerminalTheme>
{
public:
    static inline const QString domain = QStringLiteral("com.apple.Terminal");

    TerminalThemeStore();

    const QList<TerminalTheme> &themes() const { return defaultThemes(); }

    static QList<TerminalTheme> loadThemes();
};

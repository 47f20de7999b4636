#pragma once

#include <QHashFunctions>
#include <QString>

// A VS Code colour theme: the id that VS Code's theme setting holds, and the name shown for it.
struct VSCodeTheme
{
    QString id;
    QString name;

    friend bool operator==(const VSCodeTheme &, const VSCodeTheme &) = default;
};

inline size_t qHash(const VSCodeTheme &theme, size_t seed = 0)
{
    return qHashMulti(seed, theme.id, theme.name);
}

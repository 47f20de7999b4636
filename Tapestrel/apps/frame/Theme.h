#pragma once

#include <QHash>
#include <QString>

// The record of a theme that another application knows by an identifier: `id` is what a profile
// stores and what the application is told, `name` is what the user sees. Applications whose themes
// are known this way name it after themselves (`using AlfredTheme = Theme;`).
struct Theme
{
    QString id;
    QString name;

    friend bool operator==(const Theme &, const Theme &) = default;
};

inline size_t qHash(const Theme &theme, size_t seed = 0)
{
    return qHashMulti(seed, theme.id, theme.name);
}

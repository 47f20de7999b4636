#pragma once

#include <QHash>
#include <QString>

// One Lumapad theme file: its name (the file name without ".lptheme") and its file name with the
// extension, which is what a profile stores and what Lumapad is given.
struct LumapadTheme
{
    QString name;
    QString path;

    QString id() const { return path; }
    friend bool operator==(const LumapadTheme &, const LumapadTheme &) = default;
};

inline size_t qHash(const LumapadTheme &theme, size_t seed = 0)
{
    return qHashMulti(seed, theme.name, theme.path);
}

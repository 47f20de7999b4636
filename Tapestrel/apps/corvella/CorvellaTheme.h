#pragma once

#include <QHash>
#include <QString>

// One Corvella theme file: its name (the file name without ".cvtheme") and its full path, which is
// what a profile stores and what Corvella is given.
struct CorvellaTheme
{
    QString name;
    QString path;

    QString id() const { return path; }
    friend bool operator==(const CorvellaTheme &, const CorvellaTheme &) = default;
};

inline size_t qHash(const CorvellaTheme &theme, size_t seed = 0)
{
    return qHashMulti(seed, theme.name, theme.path);
}

#pragma once

#include <QHash>
#include <QString>
#include <QVariantMap>

// One colour preset of iTerm2. The name is what a profile stores and what the user sees; the entries
// are colour settings of a terminal profile ("Background Color", "Ansi 0 Color", ...), each kept as
// the property-list value iTerm2 itself stores, and copied and compared whole.
struct ITermTheme
{
    QString name;
    QVariantMap values;

    friend bool operator==(const ITermTheme &, const ITermTheme &) = default;
};

inline size_t qHash(const ITermTheme &theme, size_t seed = 0)
{
    return qHash(theme.name, seed);
}

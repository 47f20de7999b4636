#pragma once

#include <QHashFunctions>
#include <QString>

// One VS Code profile: the implicit default profile or one that the user created in VS Code.
struct VSCodeProfile
{
    // "default" for the default profile; otherwise the folder name that VS Code records as the
    // profile's location, below "User/profiles".
    QString id;
    QString name;
    bool isDefault = false;

    static VSCodeProfile defaultProfile()
    {
        return {QStringLiteral("default"), QStringLiteral("Default"), true};
    }

    friend bool operator==(const VSCodeProfile &, const VSCodeProfile &) = default;
};

inline size_t qHash(const VSCodeProfile &profile, size_t seed = 0)
{
    return qHashMulti(seed, profile.id, profile.name, profile.isDefault);
}

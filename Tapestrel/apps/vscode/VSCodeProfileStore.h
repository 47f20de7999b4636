#pragma once

#include "Tapestrel/apps/vscode/VSCodeProfile.h"

#include <QList>

// The VS Code profiles as "storage.json" lists them at construction: the default profile first, then
// the named profiles in the file's order.
class VSCodeProfileStore
{
public:
    VSCodeProfileStore();

    const QList<VSCodeProfile> &profiles() const { return m_profiles; }
    // Whether the list of named profiles could be read. When VS Code is writing "storage.json" at
    // that moment, or the file is missing or broken, only the default profile is listed; a choice of
    // a named profile must not be forgotten for that.
    bool listWasRead() const { return m_listWasRead; }

    // The named profiles of "storage.json"; none when the file cannot be read.
    static std::optional<QList<VSCodeProfile>> loadProfiles();

private:
    QList<VSCodeProfile> m_profiles;
    bool m_listWasRead = false;
};

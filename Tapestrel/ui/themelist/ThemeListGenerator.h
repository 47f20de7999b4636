#pragma once

#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ThemeContainer.h"

#include <QList>
#include <QPointer>

class OptionStore;

// The themes that one profile sets for other applications, one entry per theme option of the
// registry that the profile sets, in registry order. The profile is held weakly: a profile that is
// gone gives an empty list.
class ThemeListGenerator
{
public:
    // The registry defaults to the program's.
    explicit ThemeListGenerator(Profile *profile, OptionStore *registry = nullptr);

    QList<ThemeInfo> generate() const;

private:
    QPointer<Profile> m_profile;
    OptionStore *m_registry;
};

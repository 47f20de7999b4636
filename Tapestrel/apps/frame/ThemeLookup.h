#pragma once

#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ThemeContainer.h"

#include <optional>

// The theme-list line of a store's theme for which `matches` holds, built-in themes first; none
// when no theme matches.
template<typename Store, typename Matches, typename NameOf>
std::optional<ThemeInfo> themeInfoIn(const Store &store, const QString &application, Matches matches,
                                     NameOf nameOf)
{
    if (const auto found = store.find(matches))
        return ThemeInfo {application, nameOf(found->first), found->second};
    return std::nullopt;
}

// The value a profile stores for an option; the empty text without a profile or an option.
inline QString optionValue(const Profile *profile, const QString &key)
{
    return profile ? profile->value(key) : QString();
}

#include "Tapestrel/model/ProfileNameOrder.h"

#include "Tapestrel/model/Profile.h"

#include <algorithm>

namespace {

QCollator nameCollator()
{
    // The C locale is no language: its collation compares code points, capitals first. Names are
    // then sorted by the common rules that most languages share (English has no rules of its own).
    const QLocale locale = QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
    QCollator collator {locale};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    collator.setIgnorePunctuation(false);
    return collator;
}

// Sorts by the keys, keeping the order of equal ones.
template<typename Key> void sortByKeys(QList<std::pair<Key, Profile *>> &keyed, QList<Profile *> &profiles)
{
    const auto compare = [](const auto &a, const auto &b) {
        if constexpr (std::is_pointer_v<Key>)
            return a.first->compare(*b.first) < 0;
        else
            return a.first.compare(b.first) < 0;
    };
    std::stable_sort(keyed.begin(), keyed.end(), compare);
    for (qsizetype i = 0; i < keyed.size(); ++i)
        profiles[i] = keyed[i].second;
}

} // namespace

void sortProfilesByName(QList<Profile *> &profiles)
{
    const QCollator collator = nameCollator();
    // Sort keys once instead of collating each pair again.
    QList<std::pair<QCollatorSortKey, Profile *>> keyed;
    keyed.reserve(profiles.size());
    for (Profile *profile : std::as_const(profiles))
        keyed.append({collator.sortKey(profile->name()), profile});
    sortByKeys(keyed, profiles);
}

bool ProfileNameKeys::followLocale()
{
    if (m_collator && QLocale() == m_locale)
        return false;
    m_keys.clear();
    m_locale = QLocale();
    m_collator = nameCollator();
    return true;
}

void ProfileNameKeys::sort(QList<Profile *> &profiles)
{
    followLocale();
    // Keys of profiles that are gone are dropped now and then.
    if (m_keys.size() > size_t(2 * profiles.size() + 64))
        m_keys.clear();
    sortByKeptKeys(profiles);
}

void ProfileNameKeys::sortByKeptKeys(QList<Profile *> &profiles)
{
    QList<std::pair<const QCollatorSortKey *, Profile *>> keyed;
    keyed.reserve(profiles.size());
    for (Profile *profile : std::as_const(profiles))
        keyed.append({&key(profile), profile});
    sortByKeys(keyed, profiles);
}

void ProfileNameKeys::insert(QList<Profile *> &sorted, QList<Profile *> added)
{
    if (followLocale()) {
        sorted.append(added);
        sort(sorted);
        return;
    }
    sortByKeptKeys(added);
    // Each goes after the equal names before it, which come first in the store.
    auto from = sorted.begin();
    for (Profile *profile : std::as_const(added)) {
        const QCollatorSortKey &addedKey = key(profile);
        from =
            std::upper_bound(from, sorted.end(), addedKey, [this](const QCollatorSortKey &k, Profile *other) {
                return k.compare(key(other)) < 0;
            });
        from = sorted.insert(from, profile) + 1;
    }
}

void ProfileNameKeys::forget(const Profile *profile)
{
    m_keys.erase(profile);
}

const QCollatorSortKey &ProfileNameKeys::key(Profile *profile)
{
    auto found = m_keys.find(profile);
    // A profile made where a deleted one was has another name.
    if (found != m_keys.end() && found->second.profile != profile)
        found = (m_keys.erase(found), m_keys.end());
    if (found == m_keys.end())
        found = m_keys.emplace(profile, Entry {profile, m_collator->sortKey(profile->name())}).first;
    return found->second.key;
}

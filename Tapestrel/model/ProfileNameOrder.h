#pragma once

#include <QCollator>
#include <QList>
#include <QLocale>
#include <QPointer>

#include <optional>
#include <unordered_map>

class Profile;

// The one order of profiles by name that every view uses: the user's locale collation, letter case
// ignored, numbers by value ("Profile 2" before "Profile 10"), "Émile" beside "Emma". Equal names keep
// their order.
void sortProfilesByName(QList<Profile *> &profiles);

// The same order for a view that sorts the same profiles again on every change: each profile's sort
// key is made once and kept until forget() is told that its name changed (or the locale changes).
class ProfileNameKeys
{
public:
    void sort(QList<Profile *> &profiles);
    // Puts `added`, which come after all of `sorted` in the store, into `sorted`, which is in this
    // order already: the same as sorting them all, without comparing the profiles that stay.
    void insert(QList<Profile *> &sorted, QList<Profile *> added);
    void forget(const Profile *profile);

private:
    struct Entry
    {
        QPointer<Profile> profile;
        QCollatorSortKey key;
    };
    const QCollatorSortKey &key(Profile *profile);
    void sortByKeptKeys(QList<Profile *> &profiles);
    // Starts over with the current locale's collation when it changed; true when it did.
    bool followLocale();

    std::optional<QCollator> m_collator;
    QLocale m_locale;
    std::unordered_map<const Profile *, Entry> m_keys;
};

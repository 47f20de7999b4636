#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileNameOrder.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

TEST(ProfileNameOrderTest, AddedProfilesLandWhereAFullSortPutsThem)
{
    struct Case
    {
        const char *what;
        QStringList stored;
        QStringList added;
        QLocale::Language languageWhenAdding = QLocale::English;
    };
    const QList<Case> cases {
        {"numbers by value, case ignored",
         {"Profile 10", "beta", "Profile 2", "alpha"},
         {"Profile 3", "zulu", "Alpha", "Profile 1"}},
        {"equal names keep the store's order", {"Beta", "beta", "Gamma"}, {"BETA", "beta", "gamma", "Beta"}},
        {"into nothing", {}, {"b", "a", "c"}},
        {"accents beside their letters", {"Emma", "Eve", "Zoe"}, {"\u00c9mile", "\u00c5sa", "Eva"}},
        {"the locale changed in between", {"Zoe", "Anna"}, {"\u00c5sa", "Bo"}, QLocale::Swedish},
    };
    const QLocale previous;
    for (const Case &test : cases) {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        std::vector<std::unique_ptr<Profile>> owned;
        QList<Profile *> stored;
        QList<Profile *> added;
        for (const QString &name : test.stored)
            stored.append(owned.emplace_back(std::make_unique<Profile>(name)).get());
        for (const QString &name : test.added)
            added.append(owned.emplace_back(std::make_unique<Profile>(name)).get());

        ProfileNameKeys keys;
        QList<Profile *> order = stored;
        keys.sort(order);
        QLocale::setDefault(QLocale(test.languageWhenAdding));
        keys.insert(order, added);

        QList<Profile *> expected = stored + added;
        sortProfilesByName(expected);
        const auto names = [](const QList<Profile *> &profiles) {
            QStringList result;
            for (const Profile *profile : profiles)
                result.append(profile->name());
            return result.join(u',').toStdString();
        };
        EXPECT_EQ(order, expected) << test.what << ": " << names(order) << " instead of " << names(expected);
    }
    QLocale::setDefault(previous);
}

} // namespace

#include "ThemeTestSupport.h"

#include "Tapestrel/apps/forklift/ForkLiftCustomTheme.h"
#include "Tapestrel/apps/forklift/ForkLiftThemeOptionModel.h"
#include "Tapestrel/apps/forklift/ForkLiftThemeStore.h"

#include <gtest/gtest.h>

using namespace ThemeTests;

namespace {

const QString direct = QStringLiteral("com.binarynights.ForkLift");
const QString setapp = QStringLiteral("com.binarynights.forklift-setapp");

QStringList ids(const QList<ForkLiftTheme> &themes)
{
    QStringList result;
    for (const ForkLiftTheme &theme : themes)
        result.append(theme.id);
    return result;
}

class ForkLiftThemeTest : public ThemeAppTest
{
protected:
    ForkliftAppConfig *config = registries.appConfigStore().requireConfig<ForkliftAppConfig>();
    ForkLiftThemeOptionModel model {config};
};

} // namespace

TEST_F(ForkLiftThemeTest, TheChosenEditionsDomainIsReadAndWrittenOnlyWhenInstalled)
{
    apply(model, "Dark");
    EXPECT_TRUE(takeWrites().isEmpty()) << "not installed";
    EXPECT_EQ(read(model), std::nullopt);
    EXPECT_TRUE(ForkLiftThemeStore(config).customThemes().isEmpty());
    EXPECT_EQ(ids(ForkLiftThemeStore(config).defaultThemes()),
              QString("Bluerange|Commander|Dark|Default|Dracula|ForkLift|Light|Polar Night|Sand").split('|'));

    installApp("ForkLift", direct);
    installApp("ForkLift Setapp", setapp);
    Platform::UserDefaults::standard().setValue("apps.forklift.bundleID", setapp);
    // Themes without a name to show, or with "Don't set"'s empty id, are not listed.
    writeDomain(
        setapp, "themes",
        QByteArray(R"([{"id": "user.zebra", "name": "Zebra"}, {"id": "Dark", "name": "My Dark", "x": 1},
                                               {"id": "user.blank", "name": " "}, {"id": "", "name": "No Id"}])"));
    writeDomain(direct, "themes", QByteArray(R"([{"id": "other", "name": "Other"}])"));

    apply(model, "Polar Night");
    apply(model, "not.listed");
    EXPECT_EQ(takeWrites(),
              (Runs {{"write", setapp, "theme", "-string", "Polar Night"},
                     {"write", setapp, "theme", "-string", "not.listed"}}));
    EXPECT_EQ(read(model), "not.listed");

    // User themes keep ForkLift's order; a built-in theme of the same id wins in the theme list.
    ThemePicker *forkLiftPicker = picker(model);
    EXPECT_EQ(ids(model.store().customThemes()), QStringList({"user.zebra", "Dark"}));
    EXPECT_EQ(forkLiftPicker->entries().size(), 2 + 1 + 9 + 1 + 2);
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "Dark").get()),
              (ThemeInfo {"ForkLift", "Dark", true}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "user.zebra").get()),
              (ThemeInfo {"ForkLift", "Zebra", false}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "").get()), std::nullopt);

    // One element without a text "name" empties the whole list; the picker sees it when shown again.
    writeDomain(setapp, "themes",
                QByteArray(R"([{"id": "a", "name": "A"}, {"id": "b"}, {"id": "c", "name": "C"}])"));
    forkLiftPicker->show();
    EXPECT_TRUE(model.store().customThemes().isEmpty());
    EXPECT_EQ(forkLiftPicker->entries().size(), 2 + 1 + 9 + 1);
}

TEST_F(ForkLiftThemeTest, ThemesValuesThatAreNotAJsonArrayOfThemesGiveNone)
{
    for (const char *bytes : {"{}", "[1, 2]", "[{\"id\": 1, \"name\": \"A\"}]", "not json", "", "[[[[]]]]"})
        EXPECT_TRUE(ForkLiftCustomTheme::decode(bytes).isEmpty()) << bytes;
    installApp("ForkLift", direct);
    writeDomain(direct, "themes", "[{\"id\": \"a\", \"name\": \"A\"}]");
    EXPECT_TRUE(ForkLiftThemeStore(config).customThemes().isEmpty()) << "a text is no data value";
    writeDomain(direct, "themes", QByteArray("[]"));
    EXPECT_TRUE(ForkLiftThemeStore(config).customThemes().isEmpty());
}

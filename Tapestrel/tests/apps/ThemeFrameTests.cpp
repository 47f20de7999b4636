#include "ThemeTestSupport.h"

#include "Tapestrel/apps/frame/AppFiles.h"
#include "Tapestrel/apps/frame/Theme.h"
#include "Tapestrel/apps/frame/ThemeSort.h"
#include "Tapestrel/apps/frame/ThemeStore.h"

#include <gtest/gtest.h>

namespace {

using Entry = ThemePicker::Entry;
using Kind = ThemePicker::Entry::Kind;

// The themes sorted by name, as "id=name".
QStringList sorted(const QList<Theme> &themes)
{
    QStringList rows;
    for (const Theme &theme : ThemeSort::sortedByName(themes, [](const Theme &theme) { return theme.name; }))
        rows.append(theme.id + u'=' + theme.name);
    return rows;
}

} // namespace

TEST(ThemeSortTest, ScalarOrderAfterCompositionStableForEqualNames)
{
    // Upper case before lower case, no locale: "Zenburn" < "ayu"; "Z" < "a" < "é".
    EXPECT_EQ(sorted({{"1", "ayu"}, {"2", "Zenburn"}, {"3", "éclair"}, {"4", "Ayu"}, {"5", "ayu Mirage"}}),
              QStringList({"4=Ayu", "2=Zenburn", "1=ayu", "5=ayu Mirage", "3=éclair"}));
    // Equal names, and names equal after composition, keep their order of origin.
    EXPECT_EQ(sorted({{"b", "Rosé"}, {"a", "Nord"}, {"c", "Rose\u0301"}, {"d", "Nord"}}),
              QStringList({"a=Nord", "d=Nord", "b=Rosé", "c=Rose\u0301"}));
    // A character beyond the basic plane sorts after U+FFxx by scalar value (not by UTF-16 unit).
    const QString emoji = QString::fromUtf8("\U0001F600");
    const QString halfwidth = QString::fromUtf8("\uFF21");
    EXPECT_TRUE(ThemeSort::lessByName(halfwidth, emoji));
    EXPECT_FALSE(ThemeSort::lessByName(emoji, halfwidth));
    EXPECT_TRUE(ThemeSort::lessByName("D.Boring", "Dark Graphite"));
}

TEST(ThemePickerTest, ListsSectionsWritesChoicesAndFollowsTheStore)
{
    QList<Theme> custom {{"user.one", "Mine"}};
    ThemeStore<Theme> store({{"a", "Alpha"}, {"shared", "Beta"}}, [&custom] { return custom; });

    Profile profile("P");
    Option *option = profile.findOrCreateOption("apps.test.theme");
    option->setValue("gone.theme");
    ThemePicker picker(
        option, "Theme", "",
        [&store] { return builtInAndCustomSections(store, ThemePicker::customHeader()); }, &store,
        [&store] { store.reloadCustomThemes(); });
    EXPECT_EQ(picker.title(), "Theme");
    EXPECT_EQ(picker.entries(),
              QList<Entry>({{Kind::row, "Don't set", ""},
                            {Kind::divider, "", ""},
                            {Kind::header, "Built-in Themes", ""},
                            {Kind::row, "Alpha", "a"},
                            {Kind::row, "Beta", "shared"},
                            {Kind::header, "Custom Themes", ""},
                            {Kind::row, "Mine", "user.one"}}));
    // A value that no row carries selects nothing and stays stored.
    EXPECT_EQ(picker.selectedValue(), std::nullopt);
    EXPECT_EQ(option->value(), "gone.theme");

    EXPECT_TRUE(picker.choose("Beta"));
    EXPECT_EQ(option->value(), "shared");
    EXPECT_TRUE(picker.choose("Don't set"));
    EXPECT_EQ(option->value(), "");
    EXPECT_FALSE(picker.choose("Built-in Themes")) << "headers are not choices";
    option->setValue("user.one");
    EXPECT_EQ(picker.selectedValue(), "user.one");

    // A theme installed meanwhile shows when the picker comes on screen again; both sections stay
    // when empty.
    custom = {{"shared", "Beta"}, {"user.two", "Another"}};
    picker.show();
    EXPECT_EQ(picker.entries().size(), 8);
    EXPECT_EQ(picker.entries().last(), (Entry {Kind::row, "Another", "user.two"}));
    EXPECT_EQ(picker.selectedValue(), std::nullopt) << "user.one is gone";
    const auto both = store.find([](const Theme &theme) { return theme.id == "shared"; });
    ASSERT_TRUE(both);
    EXPECT_TRUE(both->second) << "the built-in theme wins";
    custom.clear();
    picker.hide();
    picker.show();
    EXPECT_EQ(picker.entries().last(), (Entry {Kind::header, "Custom Themes", ""}));

    picker.setHasDivider(false);
    EXPECT_EQ(picker.entries()[1].kind, Kind::header);
}

TEST(AppFilesTest, HostileFilesGiveNothing)
{
    EXPECT_TRUE(AppFiles::parseJson(R"({"a": [1, {"b": "c"}]})"));
    EXPECT_FALSE(AppFiles::parseJson("{"));
    EXPECT_FALSE(AppFiles::parseJson(""));
    EXPECT_FALSE(AppFiles::parseJson(QByteArray(100000, '[') + QByteArray(100000, ']')));
    const auto object = AppFiles::parseJson(R"({"name": "x", "n": 3})");
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(AppFiles::textMember(*object, "name"), "x");
    EXPECT_EQ(AppFiles::textMember(*object, "n"), std::nullopt);
    EXPECT_EQ(AppFiles::textMember(*object, "none"), std::nullopt);
    EXPECT_EQ(AppFiles::textMember(nlohmann::json::array(), "name"), std::nullopt);
    EXPECT_EQ(AppFiles::read("/nonexistent/file"), std::nullopt);
    EXPECT_EQ(AppFiles::read("/"), std::nullopt);
    EXPECT_EQ(AppFiles::parsePropertyListDictionary("not a plist"), std::nullopt);
}

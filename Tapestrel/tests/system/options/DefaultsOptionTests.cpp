#include "SystemOptionTest.h"

#include "Tapestrel/system/AccentColorOptionModel.h"
#include "Tapestrel/system/EnableStageManagerOptionModel.h"
#include "Tapestrel/system/FolderColorOptionModel.h"
#include "Tapestrel/system/IconAndWidgetStyleOptionModel.h"
#include "Tapestrel/system/LiquidGlassStyleOptionModel.h"
#include "Tapestrel/system/ShowIconsOptionModel.h"
#include "Tapestrel/system/ShowMenuBarBackgroundOptionModel.h"
#include "Tapestrel/system/ShowWidgetsOptionModel.h"
#include "Tapestrel/system/SystemOptionDefaults.h"
#include "Tapestrel/system/WallpaperTintingOptionModel.h"

#include "Tapestrel/model/Option.h"

#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

using Platform::UserDefaults;

namespace {

using Runs = QList<QStringList>;

class DefaultsOptionTest : public SystemOptionTest
{
protected:
    DefaultsOptionTest() { SystemOptionDefaults::clearHistory(); }

    Runs takeRuns()
    {
        const Runs runs = SystemOptionDefaults::history();
        SystemOptionDefaults::clearHistory();
        return runs;
    }

    static UserDefaults &global() { return UserDefaults::global(); }
    static UserDefaults &windowManager() { return *UserDefaults::suite("com.apple.WindowManager"); }
};

TEST_F(DefaultsOptionTest, LiquidGlassWritesOnlyAChangeAndAnnouncesIt)
{
    LiquidGlassStyleOptionModel model;
    EXPECT_EQ(read(model), "0");
    apply(model, "0"); // the missing key already reads as clear
    EXPECT_TRUE(takeRuns().isEmpty());
    EXPECT_TRUE(takeNotifications().isEmpty());

    EXPECT_FALSE(apply(model, "1"));
    EXPECT_EQ(takeRuns(), (Runs {{"write", "-g", "NSGlassDiffusionSetting", "-string", "1"}}));
    EXPECT_EQ(takeNotifications(), QStringList {"AppleAquaColorVariantChanged"});
    EXPECT_EQ(read(model), "1");
    apply(model, "1");
    EXPECT_TRUE(takeRuns().isEmpty());

    apply(model, "");
    for (const char *value : {"2", "tinted"})
        EXPECT_TRUE(refuses(model, value)) << value;
    EXPECT_TRUE(takeRuns().isEmpty());
    EXPECT_TRUE(takeNotifications().isEmpty());
    apply(model, "0");
    EXPECT_EQ(takeRuns(), (Runs {{"write", "-g", "NSGlassDiffusionSetting", "-string", "0"}}));
    EXPECT_EQ(read(model), "0");

    global().setValue("NSGlassDiffusionSetting", "yes");
    EXPECT_EQ(read(model), "0");
}

TEST_F(DefaultsOptionTest, AccentColorWritesTheSystemNumberOrDeletesThenAnnounces)
{
    AccentColorOptionModel model;
    EXPECT_EQ(read(model), "multicolor");

    // The announcement comes after the tool has finished: the new value is in place by then.
    QStringList seenAtPost;
    QObject guard;
    QObject::connect(&Platform::DistributedNotifications::defaultCenter(),
                     &Platform::DistributedNotifications::notificationPosted, &guard,
                     [&](const Platform::DistributedNotification &) {
                         seenAtPost.append(UserDefaults::standard().string("AppleAccentColor").value_or("-"));
                     });

    const std::pair<const char *, const char *> numbers[] = {
        {"graphite", "-1"}, {"red", "0"},  {"orange", "1"}, {"yellow", "2"},
        {"green", "3"},     {"blue", "4"}, {"purple", "5"}, {"pink", "6"}};
    for (const auto &[name, number] : numbers) {
        EXPECT_FALSE(apply(model, name));
        EXPECT_EQ(takeRuns(), (Runs {{"write", "-g", "AppleAccentColor", "-int", number}})) << name;
        EXPECT_EQ(takeNotifications(), QStringList {"AppleAquaColorVariantChanged"});
        EXPECT_EQ(read(model), name);
        EXPECT_EQ(seenAtPost.takeLast(), number);
    }
    // The same colour again still writes and announces.
    apply(model, "pink");
    EXPECT_EQ(takeRuns().size(), 1);
    EXPECT_EQ(takeNotifications().size(), 1);

    apply(model, "multicolor");
    EXPECT_EQ(takeRuns(), (Runs {{"delete", "-g", "AppleAccentColor"}}));
    EXPECT_EQ(takeNotifications(), QStringList {"AppleAquaColorVariantChanged"});
    EXPECT_EQ(read(model), "multicolor");
    EXPECT_FALSE(global().persistentValue("AppleAccentColor").isValid());
    // A text that names no colour is refused; the empty one changes nothing.
    apply(model, "");
    for (const char *value : {"Blue", "teal"})
        EXPECT_TRUE(refuses(model, value)) << value;
    EXPECT_TRUE(takeRuns().isEmpty());
    EXPECT_TRUE(takeNotifications().isEmpty());

    global().setValue("AppleAccentColor", qint64(4));
    EXPECT_EQ(read(model), "blue");
    global().setValue("AppleAccentColor", qint64(7));
    EXPECT_EQ(read(model), "multicolor");
    global().setValue("AppleAccentColor", "abc");
    EXPECT_EQ(read(model), "multicolor");
}

TEST_F(DefaultsOptionTest, IconStyleWritesAChangeRedrawsAndAsksForTheDock)
{
    IconAndWidgetStyleOptionModel model;
    EXPECT_EQ(read(model), "default");
    EXPECT_FALSE(apply(model, "default")); // the missing key already reads as the default
    EXPECT_TRUE(takeRuns().isEmpty());
    EXPECT_TRUE(takeScripts().isEmpty());

    global().setValue("AppleInterfaceStyle", "Dark");
    global().setValue("AppleIconAppearanceTheme", "ClearDark");
    EXPECT_FALSE(apply(model, "ClearDark"));
    EXPECT_TRUE(takeRuns().isEmpty());

    EXPECT_TRUE(apply(model, "TintedDark"));
    EXPECT_EQ(takeRuns(), (Runs {{"write", "-g", "AppleIconAppearanceTheme", "-string", "TintedDark"}}));
    EXPECT_EQ(takeScripts(), (QStringList {getDark, setDark})); // dark mode set again, unchanged
    EXPECT_EQ(read(model), "TintedDark");

    EXPECT_FALSE(apply(model, ""));
    for (const char *value : {"tinteddark", "Tinted: Dark"})
        EXPECT_TRUE(refuses(model, value)) << value;
    EXPECT_TRUE(takeRuns().isEmpty());
    // "default" is written as a text, never by deleting the key.
    global().remove("AppleInterfaceStyle");
    global().setValue("AppleIconAppearanceTheme", "RegularDark");
    EXPECT_TRUE(apply(model, "default"));
    EXPECT_EQ(takeRuns(), (Runs {{"write", "-g", "AppleIconAppearanceTheme", "-string", "default"}}));
    EXPECT_EQ(takeScripts(), (QStringList {getDark, setLight}));
    EXPECT_EQ(global().persistentValue("AppleIconAppearanceTheme"), "default");

    global().setValue("AppleIconAppearanceTheme", "Sparkly");
    EXPECT_EQ(read(model), "default");
}

TEST_F(DefaultsOptionTest, FolderColorWritesTintAndCustomColourOnlyWhenTheyChange)
{
    FolderColorOptionModel model("AppleIconAppearanceTintColor", "AppleIconAppearanceCustomTintColor");
    EXPECT_EQ(read(model), R"({"kind":"automatic","customColor":null})");

    // Already in place: nothing written, no redraw, no Dock.
    global().setValue("AppleIconAppearanceTintColor", "Red");
    EXPECT_FALSE(apply(model, R"({"kind":"red","customColor":null})"));
    EXPECT_TRUE(takeRuns().isEmpty());
    EXPECT_TRUE(takeScripts().isEmpty());

    EXPECT_FALSE(apply(model, R"({"kind":"automatic","customColor":null})"));
    EXPECT_EQ(takeRuns(),
              (Runs {{"write", "-g", "AppleIconAppearanceTintColor", "-string", ""},
                     {"delete", "-g", "AppleIconAppearanceCustomTintColor"}}));
    EXPECT_EQ(takeScripts(), (QStringList {getDark, setLight}));
    EXPECT_EQ(read(model), R"({"kind":"automatic","customColor":null})");

    const QString custom = R"({"kind":"custom","customColor":"0.200000 0.400000 0.600000 1.000000"})";
    apply(model, custom);
    EXPECT_EQ(takeRuns(),
              (Runs {{"write", "-g", "AppleIconAppearanceTintColor", "-string", "Other"},
                     {"write", "-g", "AppleIconAppearanceCustomTintColor", "-string",
                      "0.200000 0.400000 0.600000 1.000000"}}));
    EXPECT_EQ(read(model), custom);

    // A named kind carrying a colour writes both; unknown kinds are automatic, and texts that do not
    // decode are refused.
    apply(model, R"({"kind":"green","customColor":"1 0 0 1"})");
    EXPECT_EQ(takeRuns(),
              (Runs {{"write", "-g", "AppleIconAppearanceTintColor", "-string", "Green"},
                     {"write", "-g", "AppleIconAppearanceCustomTintColor", "-string",
                      "1.000000 0.000000 0.000000 1.000000"}}));
    for (const char *value : {R"({"kind":"green"})", "not json"})
        EXPECT_TRUE(refuses(model, value)) << value;
    EXPECT_TRUE(takeRuns().isEmpty());
    for (const char *value :
         {R"({"kind":"teal","customColor":null})", R"({"kind":"Red","customColor":null})"}) {
        global().setValue("AppleIconAppearanceTintColor", "Blue");
        takeScripts();
        apply(model, value);
        EXPECT_EQ(takeRuns(),
                  (Runs {{"write", "-g", "AppleIconAppearanceTintColor", "-string", ""},
                         {"delete", "-g", "AppleIconAppearanceCustomTintColor"}}))
            << value;
    }

    // Tints the system reads differently.
    global().setValue("AppleIconAppearanceTintColor", "red");
    EXPECT_EQ(read(model), R"({"kind":"automatic","customColor":null})");
    global().setValue("AppleIconAppearanceTintColor", "Other");
    EXPECT_EQ(read(model), R"({"kind":"custom","customColor":null})");
}

TEST_F(DefaultsOptionTest, FolderColorAsksForTheDockOnlyUnderATintedIconStyle)
{
    FolderColorOptionModel model("AppleIconAppearanceTintColor", "AppleIconAppearanceCustomTintColor");
    global().setValue("AppleIconAppearanceTheme", "TintedDark");
    EXPECT_TRUE(apply(model, R"({"kind":"pink","customColor":null})"));
    EXPECT_FALSE(apply(model, R"({"kind":"pink","customColor":null})")); // unchanged
    global().setValue("AppleIconAppearanceTheme", "RegularDark");
    EXPECT_FALSE(apply(model, R"({"kind":"blue","customColor":null})"));
    global().remove("AppleIconAppearanceTheme");
    EXPECT_FALSE(apply(model, R"({"kind":"red","customColor":null})"));

    // A custom colour of an imported profile, with six decimals of its own, comes back exactly: its
    // second apply changes nothing, runs no script and leaves the Dock alone.
    global().setValue("AppleIconAppearanceTheme", "TintedDark");
    const QString custom = R"({"kind":"custom","customColor":"0.123456 0.654321 0.111111 1.000000"})";
    EXPECT_TRUE(apply(model, custom));
    EXPECT_EQ(global().string("AppleIconAppearanceCustomTintColor"), "0.123456 0.654321 0.111111 1.000000");
    EXPECT_EQ(read(model), custom);
    SystemOptionDefaults::clearHistory();
    takeScripts();
    for (const char *same : {R"({"kind":"custom","customColor":"0.123456 0.654321 0.111111 1.000000"})",
                             R"({"kind":"custom","customColor":"0.1234561 0.654321 0.111111 1"})"}) {
        EXPECT_FALSE(apply(model, same)) << same;
        EXPECT_TRUE(SystemOptionDefaults::history().isEmpty()) << same;
        EXPECT_TRUE(takeScripts().isEmpty()) << same;
    }
}

// The Boolean settings written through the defaults tool: each text of a Boolean writes its key (the
// inverse where the key hides or reduces), announces what the system listens for and reads back; a
// missing key reads as the system's default, the empty text writes nothing and other texts are refused.
TEST_F(DefaultsOptionTest, BooleanSettingsWriteTheirKeyAnnounceAndReadBack)
{
    EnableStageManagerOptionModel stageManager;
    ShowMenuBarBackgroundOptionModel menuBar;
    WallpaperTintingOptionModel tinting;
    const struct
    {
        OptionModel *model;
        QString domain, key;
        bool inverted;
        QStringList announced;
        QString unset;
    } rows[] = {
        {&stageManager, "com.apple.WindowManager", "GloballyEnabled", false, {}, "true"},
        {&menuBar, "-g", "SLSMenuBarUseBlurredAppearance", false, {}, "false"},
        {&tinting,
         "-g",
         "AppleReduceDesktopTinting",
         true,
         {"AppleAquaColorVariantChanged", "NSReduceDesktopTintingDidChangeNotification",
          "kCUINotificationReduceDesktopTintingChanged"},
         "true"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.key.toStdString());
        EXPECT_EQ(read(*row.model), row.unset);
        for (const auto &[value, on] :
             {std::pair {"yes", true}, {"0", false}, {"TRUE", true}, {"no", false}}) {
            apply(*row.model, value);
            EXPECT_EQ(takeRuns(),
                      (Runs {{"write", row.domain, row.key, "-bool", on != row.inverted ? "true" : "false"}}))
                << value;
            EXPECT_EQ(takeNotifications(), row.announced);
            EXPECT_EQ(read(*row.model), on ? "true" : "false");
        }
        apply(*row.model, "");
        EXPECT_TRUE(refuses(*row.model, "maybe"));
        EXPECT_TRUE(takeRuns().isEmpty());
        EXPECT_TRUE(takeNotifications().isEmpty());
    }
}

TEST_F(DefaultsOptionTest, TheDesktopItemsChooseTheirKeysByTheProfilesStageManager)
{
    ShowIconsOptionModel icons;
    ShowWidgetsOptionModel widgets;
    Profile withStageManager("On");
    auto *stage = new Option("system.desktop.stageManager.enable", "true", &withStageManager);
    Profile without("Off");
    apply(icons, "true", &withStageManager);
    apply(icons, "true", &without);
    apply(icons, "true", nullptr);
    EXPECT_EQ(takeRuns(),
              (Runs {{"write", "com.apple.WindowManager", "HideDesktop", "-bool", "false"},
                     {"write", "com.apple.WindowManager", "StandardHideDesktopIcons", "-bool", "false"},
                     {"write", "com.apple.WindowManager", "StandardHideDesktopIcons", "-bool", "false"}}));
    // Only the value counts: a disabled Stage Manager option still chooses the key.
    stage->setValue("1");
    stage->setEnabled(false);
    apply(widgets, "false", &withStageManager);
    apply(widgets, "No", &without);
    EXPECT_TRUE(refuses(widgets, "perhaps"));
    EXPECT_EQ(takeRuns(),
              (Runs {{"write", "com.apple.WindowManager", "StageManagerHideWidgets", "-bool", "true"},
                     {"write", "com.apple.WindowManager", "StandardHideWidgets", "-bool", "true"}}));

    // Reads invert the stored hide value of the chosen key; a missing key gives nothing.
    EXPECT_EQ(read(icons, &withStageManager), "true");
    EXPECT_EQ(read(widgets, &withStageManager), "false");
    windowManager().remove("StandardHideDesktopIcons");
    EXPECT_EQ(read(icons, &without), std::nullopt);
    windowManager().setValue("StandardHideDesktopIcons", true);
    EXPECT_EQ(read(icons, &without), "false");
    EXPECT_EQ(read(widgets, &without), "false");
}

} // namespace

#include "platform/GnomeDesktop.h"

#include "testsupport/CapturedStandardError.h"
#include "testsupport/GnomeSettings.h"
#include "testsupport/ScopedVariable.h"

#include <QFile>

#include <gtest/gtest.h>

using Platform::DesktopError;
using Platform::GnomeDesktop;
using TestSupport::GnomeSettings;

namespace {

const QString interface = QStringLiteral("org/gnome/desktop/interface");
const QString background = QStringLiteral("org/gnome/desktop/background");
const QString dock = QStringLiteral("org/gnome/shell/extensions/dash-to-dock");

// A GNOME over the tests' own schemas and a keyfile, seeded with `keyfile` before it is first read.
class Gnome
{
public:
    explicit Gnome(const GnomeSettings::Without &without = GnomeSettings::Without(),
                   const QString &keyfile = {}, bool readOnly = false)
        : settings(without)
    {
        if (!keyfile.isEmpty())
            settings.seed(keyfile);
        desktop = std::make_unique<GnomeDesktop>(
            GnomeDesktop::Store {settings.schemaFolder(), settings.keyfile(), readOnly});
    }

    GnomeSettings settings;
    std::unique_ptr<GnomeDesktop> desktop;
};

#define ASSERT_SCHEMAS(gnome)                                                                                \
    ASSERT_TRUE((gnome).settings.isValid()) << (gnome).settings.error().toStdString()

} // namespace

TEST(GnomeDesktop, AppearanceSwitchesTheColourSchemeAndOnlyTheDesktopsOwnTheme)
{
    struct Case
    {
        const char *theme;
        const char *darkTheme; // what dark mode leaves in gtk-theme
    };
    for (const Case &test : {Case {"Adwaita", "'Adwaita-dark'"}, Case {"Yaru-blue", "'Yaru-blue'"}}) {
        SCOPED_TRACE(test.theme);
        Gnome gnome({}, QStringLiteral("[org/gnome/desktop/interface]\ngtk-theme='%1'\n").arg(test.theme));
        ASSERT_SCHEMAS(gnome);
        EXPECT_EQ(gnome.desktop->darkMode(), false);

        EXPECT_TRUE(gnome.desktop->setDarkMode(true));
        EXPECT_EQ(gnome.settings.value(interface, "color-scheme"), "'prefer-dark'");
        EXPECT_EQ(gnome.settings.value(interface, "gtk-theme"), test.darkTheme);
        EXPECT_EQ(gnome.desktop->darkMode(), true);

        EXPECT_TRUE(gnome.desktop->setDarkMode(false));
        EXPECT_EQ(gnome.settings.value(interface, "color-scheme"), "'default'");
        EXPECT_EQ(gnome.settings.value(interface, "gtk-theme"), QStringLiteral("'%1'").arg(test.theme));
        EXPECT_EQ(gnome.desktop->darkMode(), false);
    }
}

TEST(GnomeDesktop, AccentColoursMapByNameWithGraphiteAsSlateAndMulticolourAsTheDefault)
{
    Gnome gnome;
    ASSERT_SCHEMAS(gnome);
    EXPECT_EQ(gnome.desktop->accentColor(), "multicolor")
        << "a key at its default is the desktop's own colour";
    const std::pair<const char *, const char *> cases[] = {
        {"blue", "'blue'"},     {"purple", "'purple'"}, {"pink", "'pink'"},   {"red", "'red'"},
        {"orange", "'orange'"}, {"yellow", "'yellow'"}, {"green", "'green'"}, {"graphite", "'slate'"},
    };
    for (const auto &[name, stored] : cases) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(gnome.desktop->setAccentColor(name));
        EXPECT_EQ(gnome.settings.value(interface, "accent-color"), stored);
        EXPECT_EQ(gnome.desktop->accentColor(), name);
    }
    EXPECT_TRUE(gnome.desktop->setAccentColor("multicolor"));
    EXPECT_EQ(gnome.settings.value(interface, "accent-color"), std::nullopt) << "reset, not set to blue";
    EXPECT_EQ(gnome.desktop->accentColor(), "multicolor");

    // A colour the program has no name for is not read as one of its own.
    Gnome teal({}, "[org/gnome/desktop/interface]\naccent-color='teal'\n");
    ASSERT_SCHEMAS(teal);
    EXPECT_EQ(teal.desktop->accentColor(), std::nullopt);
}

TEST(GnomeDesktop, APictureFillsBothAppearancesAndAColourReplacesIt)
{
    Gnome gnome;
    ASSERT_SCHEMAS(gnome);
    const QString file = QStringLiteral("/pictures/Sea View.png");
    gnome.desktop->setPicture(file);
    const QString uri = QStringLiteral("'file:///pictures/Sea%20View.png'");
    EXPECT_EQ(gnome.settings.value(background, "picture-uri"), uri);
    EXPECT_EQ(gnome.settings.value(background, "picture-uri-dark"), uri);
    // 'zoom' is also the default, which the keyfile need not hold.
    EXPECT_NE(gnome.settings.value(background, "picture-options").value_or("'zoom'"), "'none'");
    ASSERT_TRUE(gnome.desktop->picture());
    EXPECT_EQ(gnome.desktop->picture()->file, file);

    gnome.desktop->setColor(QColor(0x12, 0xab, 0xef));
    EXPECT_EQ(gnome.settings.value(background, "primary-color"), "'#12abef'");
    EXPECT_EQ(gnome.settings.value(background, "picture-options"), "'none'");
    EXPECT_EQ(gnome.settings.value(background, "color-shading-type").value_or("'solid'"), "'solid'");
    ASSERT_TRUE(gnome.desktop->picture());
    EXPECT_EQ(gnome.desktop->picture()->color, QColor(0x12, 0xab, 0xef));
    EXPECT_TRUE(gnome.desktop->picture()->file.isEmpty());

    gnome.desktop->setPicture(file);
    EXPECT_EQ(gnome.settings.value(background, "picture-options"), "'zoom'");

    Gnome dark({},
               QStringLiteral("[org/gnome/desktop/interface]\ncolor-scheme='prefer-dark'\n"
                              "[org/gnome/desktop/background]\npicture-uri='file:///light.png'\n"
                              "picture-uri-dark='file:///dark.png'\n"));
    ASSERT_SCHEMAS(dark);
    EXPECT_EQ(dark.desktop->picture()->file, "/dark.png");
    Gnome resource({}, "[org/gnome/desktop/background]\npicture-uri='resource:///org/gnome/bg.png'\n");
    ASSERT_SCHEMAS(resource);
    EXPECT_EQ(resource.desktop->picture(), std::nullopt);
}

TEST(GnomeDesktop, TheDockFollowsDashToDockWhereItIsInstalled)
{
    Gnome gnome;
    ASSERT_SCHEMAS(gnome);
    for (const char *edge : {"bottom", "right", "left"}) {
        EXPECT_TRUE(gnome.desktop->setDockPosition(edge));
        EXPECT_EQ(gnome.desktop->dockPosition(), edge);
    }
    EXPECT_EQ(gnome.settings.value(dock, "dock-position"), "'LEFT'");

    EXPECT_TRUE(gnome.desktop->setDockAutoHide(true));
    EXPECT_EQ(gnome.settings.value(dock, "dock-fixed"), "false");
    EXPECT_EQ(gnome.desktop->dockAutoHide(), true);
    EXPECT_TRUE(gnome.desktop->setDockAutoHide(false));
    EXPECT_EQ(gnome.settings.value(dock, "dock-fixed"), "true");
    EXPECT_EQ(gnome.desktop->dockAutoHide(), false);

    // Sizes outside the range, and no number, are clamped here too, whoever asks.
    for (const auto &[size, pixels] :
         {std::pair {-3.0, "16"}, {7.0, "64"}, {qQNaN(), "16"}, {0.0, "16"}, {1.0, "64"}, {0.5, "40"}}) {
        EXPECT_TRUE(gnome.desktop->setDockSize(size));
        EXPECT_EQ(gnome.settings.value(dock, "dash-max-icon-size"), pixels) << size;
    }
    EXPECT_DOUBLE_EQ(*gnome.desktop->dockSize(), 0.5);

    Gnome top({}, "[org/gnome/shell/extensions/dash-to-dock]\ndock-position='TOP'\n");
    ASSERT_SCHEMAS(top);
    EXPECT_EQ(top.desktop->dockPosition(), std::nullopt);

    Gnome plain(GnomeSettings::Without::theDock());
    ASSERT_SCHEMAS(plain);
    EXPECT_FALSE(plain.desktop->setDockPosition("left"));
    EXPECT_FALSE(plain.desktop->setDockAutoHide(true));
    EXPECT_FALSE(plain.desktop->setDockSize(0.2));
    EXPECT_EQ(plain.desktop->dockPosition(), std::nullopt);
    EXPECT_TRUE(plain.settings.keyfileBytes().isEmpty());
}

TEST(GnomeDesktop, ASettingTheDesktopCannotTakeLeavesEveryKeyAsItWas)
{
    const QString seeded = QStringLiteral("[org/gnome/desktop/background]\nprimary-color='#000000'\n"
                                          "picture-uri='file:///before.png'\n");
    struct Case
    {
        const char *name;
        GnomeSettings::Without without;
        bool readOnly;
        std::function<void(GnomeDesktop &)> change;
        const char *reason;
    };
    const Case cases[] = {
        {"value the schema does not allow", GnomeSettings::Without::theValues({"accent-color:slate"}), false,
         [](GnomeDesktop &gnome) { gnome.setAccentColor("graphite"); }, "slate"},
        // The colour's first key would be allowed; the picture options that hide the picture are not.
        {"one of several keys not allowed", GnomeSettings::Without::theValues({"picture-options:none"}),
         false, [](GnomeDesktop &gnome) { gnome.setColor(Qt::red); }, "none"},
        {"locked store", GnomeSettings::Without(), true, [](GnomeDesktop &gnome) { gnome.setDarkMode(true); },
         "locked"},
        {"locked dock", GnomeSettings::Without(), true, [](GnomeDesktop &gnome) { gnome.setDockSize(0.1); },
         "locked"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        Gnome gnome(test.without, seeded, test.readOnly);
        ASSERT_SCHEMAS(gnome);
        try {
            test.change(*gnome.desktop);
            ADD_FAILURE() << "the change was taken";
        } catch (const DesktopError &error) {
            EXPECT_TRUE(error.message().contains(test.reason)) << error.message().toStdString();
        }
        EXPECT_EQ(gnome.settings.keyfileBytes(), seeded.toUtf8());
    }

    // A setting this GNOME does not have is no failure: nothing is written, and stderr says so once.
    Gnome older(GnomeSettings::Without::theKeys({"org.gnome.desktop.interface:accent-color"}), seeded);
    ASSERT_SCHEMAS(older);
    {
        TestSupport::CapturedStandardError standardError;
        EXPECT_FALSE(older.desktop->setAccentColor("red"));
        EXPECT_FALSE(older.desktop->setAccentColor("graphite"));
        EXPECT_EQ(QString::fromUtf8(standardError.text()),
                  "Tapestrel: This GNOME has no setting “accent-color” in org.gnome.desktop.interface; it "
                  "stays in the emulated home, and the desktop is left as it is.\n");
    }
    EXPECT_EQ(older.settings.keyfileBytes(), seeded.toUtf8());
    EXPECT_TRUE(older.desktop->setAccentColor("multicolor"));
    EXPECT_EQ(older.desktop->accentColor(), std::nullopt);
    Gnome locked(GnomeSettings::Without(), {}, true);
    ASSERT_SCHEMAS(locked);
    EXPECT_NO_THROW(locked.desktop->setDarkMode(false));
    EXPECT_NO_THROW(locked.desktop->setAccentColor("multicolor"));
}

TEST(GnomeDesktop, WhatAnotherProgramChangedIsSeenByTheNextReadingAndChange)
{
    // GSettings' own keyfile first: it is found once per process.
    for (const bool ownKeyfile : {false, true}) {
        SCOPED_TRACE(ownKeyfile ? "a keyfile of the program's choosing" : "GSettings' own keyfile");
        GnomeSettings settings;
        ASSERT_TRUE(settings.isValid()) << settings.error().toStdString();
        TestSupport::ScopedVariable backend("GSETTINGS_BACKEND", "keyfile");
        TestSupport::ScopedVariable config("XDG_CONFIG_HOME", QFile::encodeName(settings.configHome()));
        GnomeDesktop gnome({settings.schemaFolder(), ownKeyfile ? settings.keyfile() : QString()});
        EXPECT_TRUE(gnome.setDarkMode(true));
        EXPECT_EQ(settings.value(interface, "color-scheme"), "'prefer-dark'");
        EXPECT_EQ(gnome.darkMode(), true);

        ASSERT_TRUE(settings.seed("[org/gnome/desktop/interface]\ncolor-scheme='default'\n"));
        EXPECT_EQ(gnome.darkMode(), false);
        EXPECT_TRUE(gnome.setDarkMode(true));
        EXPECT_EQ(settings.value(interface, "color-scheme"), "'prefer-dark'") << "not taken as in place";
    }
}

#include "SystemOptionTest.h"

#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/ProfileController.h"
#include "Tapestrel/system/AccentColorOptionModel.h"
#include "Tapestrel/system/AppearanceOptionModel.h"
#include "Tapestrel/system/AutoHideDockOptionModel.h"
#include "Tapestrel/system/AutoHideMenuBarOptionModel.h"
#include "Tapestrel/system/DockMagnificationOptionModel.h"
#include "Tapestrel/system/DockPositionOptionModel.h"
#include "Tapestrel/system/DockSizeOptionModel.h"
#include "Tapestrel/system/EnvironmentInfo.h"
#include "Tapestrel/system/FolderColorOptionModel.h"
#include "Tapestrel/system/IconAndWidgetStyleOptionModel.h"
#include "Tapestrel/system/SystemOptionDefaults.h"
#include "platform/GnomeDesktop.h"
#include "platform/KdeDesktop.h"
#include "platform/UserDefaults.h"
#include "testsupport/FakePortal.h"
#include "testsupport/GnomeSettings.h"
#include "testsupport/PrivateSessionBus.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/SelectedDesktop.h"
#include "testsupport/StandInTools.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class RealDesktopOptionTest : public SystemOptionTest
{
protected:
    std::shared_ptr<Platform::GnomeDesktop> gnomeDesktop(bool readOnly = false) const
    {
        return std::make_shared<Platform::GnomeDesktop>(
            Platform::GnomeDesktop::Store {gnome.schemaFolder(), gnome.keyfile(), readOnly});
    }
    bool emulatedDark() const
    {
        return Platform::UserDefaults::global().string("AppleInterfaceStyle") == QStringLiteral("Dark");
    }

    TestSupport::GnomeSettings gnome;
    AppearanceOptionModel appearance;
    AccentColorOptionModel accent;
    DockPositionOptionModel position;
    DockSizeOptionModel size;
    AutoHideDockOptionModel autoHide;
};

} // namespace

TEST_F(RealDesktopOptionTest, ADesktopThatRefusesIsReportedForThatOptionWhileTheEmulatedHomeChanges)
{
    ASSERT_TRUE(gnome.isValid()) << gnome.error().toStdString();
    TestSupport::SelectedDesktop locked(gnomeDesktop(true));

    struct Case
    {
        OptionModel *model;
        const char *value;
    };
    for (const Case &test : {Case {&appearance, "dark"}, Case {&accent, "red"}, Case {&position, "right"},
                             Case {&size, "0.1"}, Case {&autoHide, "true"}}) {
        SCOPED_TRACE(test.model->key().toStdString());
        try {
            apply(*test.model, test.value);
            ADD_FAILURE() << "reported as done";
        } catch (const OptionModelError &error) {
            EXPECT_EQ(error.key(), test.model->key());
            EXPECT_TRUE(error.message().contains("locked")) << error.message().toStdString();
        }
    }
    EXPECT_TRUE(emulatedDark());
    EXPECT_EQ(SystemOptionDefaults::readString("AppleAccentColor"), "0");
    EXPECT_EQ(takeNotifications(), QStringList {"AppleAquaColorVariantChanged"});

    // Settings the desktop does not have, and the redraws of other options, report nothing.
    DockMagnificationOptionModel magnification;
    AutoHideMenuBarOptionModel menuBar;
    FolderColorOptionModel folder("AppleIconAppearanceTintColor", "AppleIconAppearanceCustomTintColor");
    IconAndWidgetStyleOptionModel style;
    EXPECT_NO_THROW(apply(magnification, "true"));
    EXPECT_NO_THROW(apply(menuBar, "true"));
    EXPECT_NO_THROW(apply(folder, R"({"kind":"red","customColor":null})"));
    EXPECT_NO_THROW(apply(style, "RegularDark"));
    // Nor does a value the desktop shows already.
    EXPECT_NO_THROW(apply(appearance, "light"));
}

TEST_F(RealDesktopOptionTest, OnlyLightAndDarkReachTheDesktop)
{
    ASSERT_TRUE(gnome.isValid()) << gnome.error().toStdString();
    auto desktop = gnomeDesktop();
    TestSupport::SelectedDesktop selected(desktop);
    apply(appearance, "dark");
    for (const char *other : {"auto", "", "Dark"}) {
        SCOPED_TRACE(other);
        EXPECT_EQ(refuses(appearance, other), *other != 0);
        EXPECT_EQ(desktop->darkMode(), true) << "the desktop is left as it is";
    }
    apply(appearance, "light");
    EXPECT_EQ(desktop->darkMode(), false);
}

TEST_F(RealDesktopOptionTest, DarkModeIsWhatTheDesktopShows)
{
    ASSERT_TRUE(gnome.isValid()) << gnome.error().toStdString();
    // The emulated home says dark; the desktop, light: the desktop wins.
    Platform::UserDefaults::global().setValue("AppleInterfaceStyle", "Dark");
    {
        TestSupport::SelectedDesktop selected(gnomeDesktop());
        EXPECT_FALSE(EnvironmentInfo::shared().isDarkMode());
        EXPECT_EQ(read(appearance), "light");
    }
    EXPECT_TRUE(EnvironmentInfo::shared().isDarkMode()) << "without a desktop, the emulated home";

    // A desktop without a setting of its own is asked through the portal, which follows changes.
    TestSupport::PrivateSessionBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    TestSupport::FakePortal portal;
    ASSERT_TRUE(portal.start(bus.address()));
    Platform::UserDefaults::global().remove("AppleInterfaceStyle");
    TestSupport::SelectedDesktop none(nullptr);
    TestSupport::SelectedPortal selected(std::make_shared<Platform::AppearancePortal>(bus.connection(), 2s));
    EXPECT_TRUE(EnvironmentInfo::shared().isDarkMode());
    EXPECT_EQ(read(appearance), "dark");
    portal.change(2);
    EXPECT_TRUE(TestSupport::waitUntil([] { return !EnvironmentInfo::shared().isDarkMode(); }, 5s));
    EXPECT_EQ(read(appearance), "light");

    // A portal without a preference leaves it to the emulated home, which a dark profile has just
    // made dark; the current settings read the same.
    portal.change(0);
    apply(appearance, "dark");
    EXPECT_TRUE(TestSupport::waitUntil([] { return EnvironmentInfo::shared().isDarkMode(); }, 5s));
    EXPECT_EQ(read(appearance), "dark");
    portal.change(2);
    EXPECT_TRUE(TestSupport::waitUntil([] { return !EnvironmentInfo::shared().isDarkMode(); }, 5s));
    EXPECT_EQ(read(appearance), "light");
    EXPECT_EQ(portal.reads.load(), 1);
}

TEST_F(RealDesktopOptionTest, OnKdePlasmaTheToolsAreStartedAndTheDockStaysInTheEmulatedHome)
{
    QTemporaryDir config;
    TestSupport::ScopedVariable configHome("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    TestSupport::StandInTools tools;
    ASSERT_TRUE(tools.add("plasma-apply-colorscheme"));
    TestSupport::SelectedDesktop selected(std::make_shared<Platform::KdeDesktop>(2s));

    apply(appearance, "dark");
    apply(accent, "green");
    apply(position, "left");
    apply(autoHide, "true");
    EXPECT_EQ(tools.calls("plasma-apply-colorscheme"),
              (QList<QStringList> {{"BreezeDark"}, {"--accent-color", "#28CD41"}}));
    EXPECT_EQ(read(position), "left");

    // Current values come from kdeglobals.
    QFile globals(config.filePath("kdeglobals"));
    ASSERT_TRUE(globals.open(QIODevice::WriteOnly));
    globals.write("[General]\nColorScheme=BreezeLight\nAccentColor=255,149,0\n");
    globals.close();
    EXPECT_EQ(read(appearance), "light");
    EXPECT_EQ(read(accent), "orange");

    // A Plasma without the colour tool has no such setting: no failure, and the emulated home
    // changes all the same.
    QFile::remove(tools.folder() + "/plasma-apply-colorscheme");
    EXPECT_NO_THROW(apply(appearance, "dark"));
    EXPECT_NO_THROW(apply(accent, "red"));
    EXPECT_TRUE(emulatedDark());
    EXPECT_EQ(SystemOptionDefaults::readString("AppleAccentColor"), "0");
}

TEST_F(RealDesktopOptionTest, APlasmaToolThatHangsCostsAnApplyItsTimeOutOnce)
{
    QTemporaryDir config;
    TestSupport::ScopedVariable configHome("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    TestSupport::StandInTools tools;
    ASSERT_TRUE(tools.add("plasma-apply-colorscheme", 0, "exec /bin/sleep 30"));
    TestSupport::SelectedDesktop selected(std::make_shared<Platform::KdeDesktop>(1s));
    OptionStore store([] {
        std::vector<std::unique_ptr<OptionModel>> models;
        models.push_back(std::make_unique<AppearanceOptionModel>());
        models.push_back(std::make_unique<AccentColorOptionModel>());
        return models;
    });
    Profile profile(QStringLiteral("Dark and green"));
    profile.findOrCreateOption(AppearanceOptionModel::optionKey())->setValue(QStringLiteral("dark"));
    profile.findOrCreateOption(AccentColorOptionModel::optionKey())->setValue(QStringLiteral("green"));
    ProfileController controller(&profile, {}, store);

    QElapsedTimer clock;
    clock.start();
    const ApplyResult result = TestSupport::runTask(controller.apply(), 20s);
    EXPECT_LT(clock.elapsed(), 1800) << "one time-out, not one per option";
    ASSERT_EQ(result.failures.size(), 2);
    EXPECT_TRUE(result.failures[1].message.contains("not started again"))
        << result.failures[1].message.toStdString();
    EXPECT_EQ(tools.calls("plasma-apply-colorscheme").size(), 1);
    EXPECT_TRUE(emulatedDark()) << "the emulated home changes all the same";
}

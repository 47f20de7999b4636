#include "Tapestrel/tests/automation/RunningProgram.h"

namespace {

QByteArray infoPlist(const QString &bundleID)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                          "<key>CFBundleIdentifier</key><string>%1</string></dict></plist>")
        .arg(bundleID)
        .toUtf8();
}

// The real program in a dark home where Bear, ForkLift, Terminal and Xcode have their themes set.
class ThemesProgramTest : public AutomationTests::RunningProgramTest
{
protected:
    void prepareHome() override
    {
        home.writeFile("Applications/ForkLift.app/Contents/Info.plist",
                       infoPlist("com.binarynights.ForkLift"));
        Platform::UserDefaults::global().setValue("AppleInterfaceStyle", "Dark");
        set("net.shinyfrog.bear", {{"SFAppThemeName", "Solarized Light"}, {"SFAppDarkThemeName", "Nord"}});
        set("com.binarynights.ForkLift", {{"theme", "Polar Night"}});
        set("com.apple.Terminal",
            {{"Window Settings", QVariantMap {{"Pro", QVariantMap {}}}}, {"Default Window Settings", "Pro"}});
        set("com.apple.dt.Xcode", {{"XCFontAndColorCurrentDarkTheme", "Dusk.xccolortheme"}});
    }

    static void set(const QString &domain, const QVariantMap &values)
    {
        Platform::UserDefaults *suite = Platform::UserDefaults::suite(domain);
        ASSERT_NE(suite, nullptr);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            suite->setValue(it.key(), it.value());
        ASSERT_TRUE(suite->synchronize());
    }

    static QVariant valueOf(const QString &domain, const QString &key)
    {
        Platform::UserDefaults *suite = Platform::UserDefaults::suite(domain);
        suite->synchronize();
        return suite->value(key);
    }
};

} // namespace

TEST_F(ThemesProgramTest, ApplyingAProfileSetsTheApplicationsThemesOfTheAppearance)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    // A profile made from the current settings takes each application's theme of the dark slot.
    const TestSupport::ProcessRun created = tapestrel({"create", "Night"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    set("net.shinyfrog.bear", {{"SFAppDarkThemeName", "Dracula"}});
    set("com.binarynights.ForkLift", {{"theme", "Sand"}});
    set("com.apple.Terminal", {{"Default Window Settings", "Basic"}});
    set("com.apple.dt.Xcode", {{"XCFontAndColorCurrentDarkTheme", "Classic.xccolortheme"}});

    const TestSupport::ProcessRun applied = tapestrel({"apply", created.out.section('\t', 0, 0)});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    EXPECT_EQ(valueOf("net.shinyfrog.bear", "SFAppDarkThemeName"), "Nord");
    EXPECT_EQ(valueOf("net.shinyfrog.bear", "SFAppThemeName"), "Solarized Light")
        << "the light slot is left alone";
    EXPECT_EQ(valueOf("com.binarynights.ForkLift", "theme"), "Polar Night");
    EXPECT_EQ(valueOf("com.apple.Terminal", "Default Window Settings"), "Pro");
    EXPECT_FALSE(valueOf("com.apple.Terminal", "Startup Window Settings").isValid())
        << "Don't set writes nothing";
    EXPECT_EQ(valueOf("com.apple.dt.Xcode", "XCFontAndColorCurrentDarkTheme"), "Dusk.xccolortheme");
}

#include "Tapestrel/tests/automation/RunningProgram.h"

#include "Tapestrel/apps/iterm/ITermColorEntries.h"
#include "Tapestrel/apps/iterm/ITermThemeStore.h"

namespace {

const QString notePlan = QStringLiteral("co.noteplan.NotePlan");
const QString iterm = QStringLiteral("com.googlecode.iterm2");

// The real program in a home with NotePlan (theme "dracula" in light appearance) and an iTerm2 that is
// not running, whose default profile holds the light colours of "Solarized Dark".
class ThemeProgramTest : public AutomationTests::RunningProgramTest
{
protected:
    void prepareHome() override
    {
        install("NotePlan", notePlan);
        install("iTerm", iterm);
        Platform::UserDefaults::suite(notePlan)->setValue("themeLight", "dracula");
        Platform::UserDefaults::suite(iterm)->setValue("Default Bookmark Guid", "G1");
        setDefaultProfile("Solarized Dark");
    }

    void install(const QString &name, const QString &bundleID) const
    {
        home.writeFile("Applications/" + name + ".app/Contents/Info.plist",
                       QStringLiteral("<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
                                      "<string>%1</string></dict></plist>")
                           .arg(bundleID)
                           .toUtf8());
    }

    static void setDefaultProfile(const QString &preset)
    {
        QVariantMap profile {{"Guid", "G1"}, {"Name", "Default"}};
        ITermColorEntries::copy(ITermThemeStore().theme(preset)->values, profile, false);
        Platform::UserDefaults::suite(iterm)->setValue("New Bookmarks", QVariantList {profile});
    }

    static QVariantMap defaultProfile()
    {
        Platform::UserDefaults *preferences = Platform::UserDefaults::suite(iterm);
        preferences->synchronize();
        return preferences->value("New Bookmarks").toList().value(0).toMap();
    }
};

} // namespace

TEST_F(ThemeProgramTest, ApplyingAProfileRestoresNotePlansThemeAndITermsColours)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    const TestSupport::ProcessRun created = tapestrel({"create", "Evening"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    Platform::UserDefaults::suite(notePlan)->setValue("themeLight", "monokai");
    setDefaultProfile("Tango Light");
    const TestSupport::ProcessRun applied = tapestrel({"apply", created.out.section('\t', 0, 0)});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();

    Platform::UserDefaults *preferences = Platform::UserDefaults::suite(notePlan);
    preferences->synchronize();
    EXPECT_EQ(preferences->value("themeLight"), "dracula");
    EXPECT_TRUE(ITermColorEntries::matches(ITermThemeStore().theme("Solarized Dark")->values,
                                           defaultProfile(), false));
    EXPECT_EQ(defaultProfile().value("Name"), "Default");
}

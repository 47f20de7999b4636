#include "platform/KdeDesktop.h"

#include "testsupport/CapturedStandardError.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/StandInTools.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tuple>

#include <sys/stat.h>

using Platform::DesktopError;
using Platform::KdeDesktop;
using TestSupport::StandInTools;

namespace {

const QString colorScheme = QStringLiteral("plasma-apply-colorscheme");
const QString wallpaper = QStringLiteral("plasma-apply-wallpaperimage");

// Plasma's tools as stand-ins on PATH, and a kdeglobals of the test's own.
class KdeDesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        ASSERT_TRUE(tools.add(colorScheme));
        ASSERT_TRUE(tools.add(wallpaper));
    }

    void writeGlobals(const QByteArray &text)
    {
        QFile file(config.filePath("kdeglobals"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    QTemporaryDir config;
    TestSupport::ScopedVariable configHome {"XDG_CONFIG_HOME", QFile::encodeName(config.path())};
    StandInTools tools;
    KdeDesktop kde {std::chrono::milliseconds(2000)};
};

} // namespace

TEST_F(KdeDesktopTest, AppearanceAndAccentGoThroughTheColourSchemeTool)
{
    EXPECT_EQ(kde.darkMode(), false) << "no scheme of one's own is Plasma's light one";
    EXPECT_TRUE(kde.setDarkMode(true));
    EXPECT_TRUE(kde.setAccentColor("red"));
    EXPECT_TRUE(kde.setAccentColor("graphite"));
    EXPECT_TRUE(kde.setAccentColor("multicolor"));
    EXPECT_EQ(tools.calls(colorScheme),
              (QList<QStringList> {{"BreezeDark"},
                                   {"--accent-color", "#FF3B30"},
                                   {"--accent-color", "#8E8E93"},
                                   {"--accent-color", "#3DAEE9"}}));

    writeGlobals("[General]\nColorScheme=BreezeDark\nAccentColor=255,59,48\n");
    EXPECT_TRUE(kde.setDarkMode(true));
    EXPECT_TRUE(kde.setAccentColor("red"));
    EXPECT_EQ(tools.calls(colorScheme).size(), 4);
    EXPECT_TRUE(kde.setDarkMode(false));
    EXPECT_EQ(tools.calls(colorScheme).constLast(), QStringList {"BreezeLight"});

    kde.setPicture("/pictures/Sea View.png");
    EXPECT_EQ(tools.calls(wallpaper), (QList<QStringList> {{"/pictures/Sea View.png"}}));
}

TEST_F(KdeDesktopTest, CurrentValuesComeFromTheGeneralGroupOfKdeglobals)
{
    struct Case
    {
        const char *text;
        std::optional<bool> dark;
        std::optional<QString> accent;
    };
    const Case cases[] = {
        {"[General]\nColorScheme=BreezeDark\nAccentColor=255,59,48\n", true, "red"},
        {"[General]\nColorScheme=BreezeLight\nAccentColor=#007aff\n", false, "blue"},
        {"[General]\nColorScheme=Breeze\nAccentColor=61,174,233\n", false, "multicolor"},
        // A scheme or a colour the program has no name for.
        {"[General]\nColorScheme=Nordic\nAccentColor=1,2,3\n", std::nullopt, std::nullopt},
        // Flags and translations; other groups, also below [General], do not count; later lines win.
        {"[General][$i]\nColorScheme[$e]=BreezeDark\nAccentColor[de]=1,2,3\nAccentColor=175, 82, 222\n"
         "[General][KDE]\nColorScheme=BreezeLight\n[Colors:View]\nAccentColor=255,45,85\n",
         true, "purple"},
        {"\r\n[General]\r\nColorScheme = BreezeDark \r\n", true, "multicolor"},
        // Not a settings file a person keeps: nothing is taken from it, and nothing breaks.
        {"\xff\xfe[General]\0ColorScheme=BreezeDark", false, "multicolor"},
        {"[General]\nAccentColor=300,0,0\nAccentColor=red\n", false, std::nullopt},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.text);
        writeGlobals(test.text);
        EXPECT_EQ(kde.darkMode(), test.dark);
        EXPECT_EQ(kde.accentColor(), test.accent);
    }
    // A file far larger than any settings file is not read, and a pipe in its place is not waited on.
    writeGlobals("[General]\nColorScheme=BreezeDark\n" + QByteArray(2 << 20, '#'));
    EXPECT_EQ(kde.darkMode(), false);
    QFile::remove(config.filePath("kdeglobals"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(config.filePath("kdeglobals")).constData(), 0600), 0);
    EXPECT_EQ(kde.darkMode(), false);
    EXPECT_EQ(kde.accentColor(), "multicolor");
}

TEST_F(KdeDesktopTest, AMissingToolIsSaidOnceAFailingOrHangingOneIsReportedAndNothingWaitsLong)
{
    // A Plasma without the tool does not have the setting: no failure, said once.
    QFile::remove(tools.folder() + "/" + wallpaper);
    {
        TestSupport::CapturedStandardError standardError;
        EXPECT_FALSE(kde.setPicture("/pictures/a.png"));
        EXPECT_FALSE(kde.setPicture("/pictures/b.png"));
        EXPECT_EQ(standardError.text(),
                  "Tapestrel: plasma-apply-wallpaperimage is not installed; that setting "
                  "stays in the emulated home.\n");
    }

    // A tool that fails, or writes without end, is reported with what it said.
    const std::tuple<const char *, int, const char *> failing[] = {
        {"echo 'Could not find theme \"BreezeDark\"'", 1, "Could not find theme"},
        {"exec /usr/bin/yes BreezeDark", 0, "wrote more than"}};
    for (const auto &[then, exitCode, reported] : failing) {
        ASSERT_TRUE(tools.add(colorScheme, exitCode, then));
        try {
            kde.setDarkMode(true);
            ADD_FAILURE() << "a failing tool was reported as done";
        } catch (const DesktopError &error) {
            EXPECT_TRUE(error.message().contains(reported)) << error.message().toStdString();
        }
    }

    // A tool that hangs is stopped, and within one apply it is not started again.
    ASSERT_TRUE(tools.add(colorScheme, 0, "exec /bin/sleep 30"));
    KdeDesktop impatient(std::chrono::milliseconds(300));
    QElapsedTimer clock;
    clock.start();
    for (int apply = 0; apply < 2; ++apply) {
        const Platform::LinuxDesktop::ChangeRound round;
        EXPECT_THROW(impatient.setAccentColor("pink"), DesktopError);
        try {
            impatient.setDarkMode(true);
            ADD_FAILURE() << "a hung tool's second change was reported as done";
        } catch (const DesktopError &error) {
            EXPECT_TRUE(error.message().contains("not started again")) << error.message().toStdString();
        }
        EXPECT_EQ(tools.calls(colorScheme).size(), 3 + apply) << "the next apply tries again";
    }
    EXPECT_LT(clock.elapsed(), 5000);
}

#include "Tapestrel/system/SystemDefaultsManager.h"

#include "platform/UserDefaults.h"

#include "testsupport/CapturedStandardError.h"
#include "testsupport/OutsideWriter.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <functional>

#include <gtest/gtest.h>

using Platform::UserDefaults;

namespace {

class RecordingRunner : public SystemDefaultsManager::ToolRunner
{
public:
    SystemDefaultsManager::ToolRun run(const QStringList &arguments) override
    {
        calls.append(arguments);
        return {output, 0, {}, changedWhenEnded};
    }
    QList<QStringList> calls;
    std::optional<QByteArray> output = QByteArray("value\n");
    std::optional<bool> changedWhenEnded;
};

class SystemDefaultsManagerTest : public TestSupport::TempHomeTest
{
protected:
    std::shared_ptr<RecordingRunner> recorder = std::make_shared<RecordingRunner>();
    SystemDefaultsManager recorded {recorder};
    SystemDefaultsManager real;
};

TEST_F(SystemDefaultsManagerTest, ToolArgumentListsAreExact)
{
    EXPECT_EQ(recorded.readString(QString("com.apple.Terminal"), "Default Window Settings"), "value");
    recorded.writeString(std::nullopt, "AppleIconAppearanceTheme", "Regular Dark");
    recorded.writeString(QString("com.apple.WindowManager"), "key", "a \"quoted\" value");
    recorded.writeBool(std::nullopt, "AppleReduceDesktopTinting", false);
    recorded.writeBool(QString("com.apple.WindowManager"), "GloballyEnabled", true);
    recorded.write({"delete", "-g", "AppleAccentColor"});
    recorded.write({"write", "-g", "AppleAccentColor", "-int", "4"});

    const QList<QStringList> expected {
        {"read", "com.apple.Terminal", "Default Window Settings", "-string"},
        {"write", "-g", "AppleIconAppearanceTheme", "-string", "Regular Dark"},
        {"write", "com.apple.WindowManager", "key", "-string", "a \"quoted\" value"},
        {"write", "-g", "AppleReduceDesktopTinting", "-bool", "false"},
        {"write", "com.apple.WindowManager", "GloballyEnabled", "-bool", "true"},
        {"delete", "-g", "AppleAccentColor"},
        {"write", "-g", "AppleAccentColor", "-int", "4"},
    };
    EXPECT_EQ(recorder->calls, expected);

    // Reads without a domain, Booleans and arrays never start the tool.
    recorder->calls.clear();
    UserDefaults::standard().setValue("activeEditorTab", "apps");
    EXPECT_EQ(recorded.readString(std::nullopt, "activeEditorTab"), "apps");
    EXPECT_EQ(recorded.readString(std::nullopt, "missing"), std::nullopt);
    EXPECT_EQ(recorded.readBool(std::nullopt, "missing"), std::nullopt);
    recorded.writeArray("com.example.app", "list", {"a", qint64(2)});
    EXPECT_TRUE(recorder->calls.isEmpty());
}

TEST_F(SystemDefaultsManagerTest, ToolOutputIsTrimmedUtf8OrNothing)
{
    recorder->output = QByteArray("  Solarized Dark \t\n\n");
    EXPECT_EQ(recorded.run({"read"}), "Solarized Dark");
    recorder->output = QByteArray("two  inner\nlines\n");
    EXPECT_EQ(recorded.run({"read"}), "two  inner\nlines");
    recorder->output = QByteArray();
    EXPECT_EQ(recorded.run({"read"}), ""); // empty output is the empty text, not nothing
    recorder->output = QByteArray("caf\xc3\xa9\n");
    EXPECT_EQ(recorded.run({"read"}), QString::fromUtf8("café"));
    recorder->output = QByteArray("bad \xff\xfe bytes");
    EXPECT_EQ(recorded.run({"read"}), std::nullopt);
    recorder->output = std::nullopt; // could not start
    EXPECT_EQ(recorded.run({"read"}), std::nullopt);
}

// A write that the tool did not finish says what became of the value: one that could not run changed
// nothing, one ended at the time limit may have.
TEST_F(SystemDefaultsManagerTest, AWriteThatDidNotFinishSaysWhetherTheValueChanged)
{
    const QList<std::pair<std::optional<bool>, QString>> cases {
        {std::nullopt, "The defaults tool could not be run, so “k” was not changed."},
        {false, "The defaults tool did not finish in time and was ended, so “k” was not changed."},
        {true, "The defaults tool did not finish in time and was ended after it changed “k”."},
    };
    recorder->output = std::nullopt;
    for (const auto &[changed, message] : cases) {
        recorder->changedWhenEnded = changed;
        try {
            recorded.writeString(QString("com.example"), "k", "v");
            ADD_FAILURE() << "no error";
        } catch (const DefaultsWriteError &error) {
            EXPECT_EQ(QString::fromUtf8(error.what()), message);
        }
    }
}

TEST_F(SystemDefaultsManagerTest, SameOperationsAgainstTheRealTool)
{
    {
        // A key without a value is an ordinary answer, also to a delete: nothing reaches standard error.
        TestSupport::CapturedStandardError errors;
        real.writeString(QString("com.apple.Terminal"), "Default Window Settings", "Clear Dark");
        EXPECT_EQ(real.readString(QString("com.apple.Terminal"), "Default Window Settings"), "Clear Dark");
        EXPECT_EQ(real.readString(QString("com.apple.Terminal"), "missing"), ""); // the tool prints nothing
        EXPECT_EQ(real.readString(QString("com.example.nowhere"), "missing"), "");
        real.write({"delete", "-g", "missing"});
        EXPECT_EQ(errors.text(), "");
    }
    // A write that fails throws the tool's reason, naming the key; so does a delete from a domain that
    // cannot be used, and a write of an array into one.
    QDir().mkpath(home.filePath("Library/Preferences/com.example.folder.plist"));
    const auto failure = [](const std::function<void()> &write) {
        try {
            write();
        } catch (const DefaultsWriteError &error) {
            return QString::fromUtf8(error.what());
        }
        return QString();
    };
    EXPECT_EQ(failure([&] { real.writeString(QString("bad/domain"), "key", "value"); }),
              "\"bad/domain\" is not a domain name");
    const QString folder = failure([&] { real.writeString(QString("com.example.folder"), "key", "value"); });
    EXPECT_TRUE(folder.startsWith("Could not write key to com.example.folder: ")) << folder.toStdString();
    EXPECT_TRUE(folder.endsWith("it is not a regular file")) << folder.toStdString();
    EXPECT_NE(failure([&] { real.write({"delete", "com.example.folder", "key"}); }), "");
    EXPECT_NE(failure([&] { real.writeArray("com.example.folder", "key", {1}); }), "");
    EXPECT_TRUE(QFileInfo(home.filePath("Library/Preferences/com.example.folder.plist")).isDir());

    // Without a domain writes go to the global domain, which the program's own reads see.
    real.writeString(std::nullopt, "AppleInterfaceStyle", "Dark");
    EXPECT_EQ(UserDefaults::global().persistentValue("AppleInterfaceStyle"), QVariant("Dark"));
    EXPECT_EQ(real.readString(std::nullopt, "AppleInterfaceStyle"), "Dark");
    real.write({"delete", "-g", "AppleInterfaceStyle"});
    EXPECT_EQ(real.readString(std::nullopt, "AppleInterfaceStyle"), std::nullopt);

    real.writeBool(QString("com.apple.WindowManager"), "GloballyEnabled", true);
    EXPECT_EQ(real.readBool(QString("com.apple.WindowManager"), "GloballyEnabled"), true);
    real.writeBool(QString("com.apple.WindowManager"), "GloballyEnabled", false);
    EXPECT_EQ(real.readBool(QString("com.apple.WindowManager"), "GloballyEnabled"), false);
    EXPECT_EQ(real.readBool(QString("com.apple.WindowManager"), "HideDesktop"), std::nullopt);
    real.write({"write", "com.apple.WindowManager", "HideDesktop", "-int", "1"});
    EXPECT_EQ(real.readBool(QString("com.apple.WindowManager"), "HideDesktop"), true);
    EXPECT_EQ(real.readBool(QString("bad/domain"), "HideDesktop"), std::nullopt);

    real.writeString(std::nullopt, "AppleIconAppearanceTheme", "Regular Dark");
    EXPECT_EQ(real.run({"read", "-g", "AppleIconAppearanceTheme"}), "Regular Dark");

    UserDefaults *iterm = UserDefaults::suite("com.googlecode.iterm2");
    iterm->setValue("Custom Color Presets", QVariantList {"old"});
    real.writeArray("com.googlecode.iterm2", "Custom Color Presets", {QVariantMap {{"Name", "Nord"}}, "x"});
    EXPECT_EQ(iterm->array("Custom Color Presets"), (QVariantList {QVariantMap {{"Name", "Nord"}}, "x"}));

    // Written in place of a damaged list (not changed for long), which is set aside: the write says where.
    home.writeFile("Library/Preferences/com.example.damaged.plist", "not a property list");
    TestSupport::OutsideWriter::age(home.filePath("Library/Preferences/com.example.damaged.plist"), 120);
    EXPECT_TRUE(failure([&] { real.writeArray("com.example.damaged", "key", {1}); })
                    .contains(home.filePath("Library/Preferences/com.example.damaged.plist.corrupt")));
    EXPECT_EQ(UserDefaults::suite("com.example.damaged")->array("key"), (QVariantList {1}));
}

TEST_F(SystemDefaultsManagerTest, MissingToolEndsAtOnce)
{
    const QByteArray saved = qgetenv("TAPESTREL_DEFAULTS_TOOL");
    qputenv("TAPESTREL_DEFAULTS_TOOL", QFile::encodeName(home.filePath("no-such-tool")));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(real.run({"read", "-g", "x"}), std::nullopt);
    EXPECT_EQ(real.readString(QString("com.apple.Terminal"), "x"), std::nullopt);
    EXPECT_THROW(real.writeString(std::nullopt, "x", "y"), DefaultsWriteError);
    EXPECT_LT(clock.elapsed(), 5000);
    qputenv("TAPESTREL_DEFAULTS_TOOL", saved);
    EXPECT_FALSE(UserDefaults::global().persistentValue("x").isValid());
}

} // namespace

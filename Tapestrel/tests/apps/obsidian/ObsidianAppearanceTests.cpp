#include "Tapestrel/tests/apps/obsidian/ObsidianFixture.h"

#include "Tapestrel/apps/obsidian/JSONController.h"
#include "Tapestrel/apps/obsidian/ObsidianAccentColorOptionModel.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"
#include "Tapestrel/model/Profile.h"
#include "testsupport/FileSizeLimit.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/OutsideWriter.h"
#include "testsupport/RunTask.h"

#include <gtest/gtest.h>

using namespace ObsidianTests;
using namespace std::chrono_literals;
using TestSupport::runTask;

namespace {

// A real vault's file: members Obsidian wrote, with an integer, a fraction, a list and an object.
const QByteArray sample = obsidianFile(R"(  "accentColor": "",
  "theme": "obsidian",
  "cssTheme": "",
  "baseFontSize": 16,
  "interfaceFontFamily": "Inter",
  "enabledCssSnippets": [
    "wide"
  ],
  "nativeMenus": null,
  "zoom": 0.5,
  "translucency": false,
  "showViewHeader": {})");

class ObsidianAppearanceTest : public ObsidianTest
{
protected:
    void SetUp() override { listVaults({{"w", makeVault("Work", sample), 10}}); }

    void applyTheme(const QString &value) { runTask(theme.apply(value, nullptr, std::make_shared<bool>())); }
    void applyAccent(const QString &value)
    {
        runTask(accent.apply(value, nullptr, std::make_shared<bool>()));
    }
    std::optional<QString> currentTheme() { return runTask(theme.readCurrentValue(nullptr)); }
    std::optional<QString> currentAccent() { return runTask(accent.readCurrentValue(nullptr)); }
    // The error of an apply that must fail.
    template<typename Apply> QString failure(Apply apply)
    {
        try {
            apply();
        } catch (const OptionModelError &error) {
            return error.message();
        }
        ADD_FAILURE() << "apply did not fail";
        return {};
    }

    ObsidianThemeOptionModel theme {nullptr};
    ObsidianAccentColorOptionModel accent {nullptr};
};

QByteArray replaced(QByteArray bytes, const QByteArray &from, const QByteArray &to)
{
    return bytes.replace(from, to);
}

} // namespace

TEST_F(ObsidianAppearanceTest, ApplyChangesOnlyItsMemberAndKeepsEveryOtherByteOrderAndType)
{
    EXPECT_EQ(currentTheme(), "<default>");
    EXPECT_EQ(currentAccent(), "defaultColor");

    applyTheme("Minimal");
    const QByteArray themed = replaced(sample, R"("cssTheme": "")", R"("cssTheme": "Minimal")");
    EXPECT_EQ(appearance("Work"), themed);
    EXPECT_EQ(currentTheme(), "Minimal");

    applyAccent("#7f6df2");
    EXPECT_EQ(appearance("Work"), replaced(themed, R"("accentColor": "")", R"("accentColor": "#7f6df2")"));
    EXPECT_EQ(currentAccent(), "#7f6df2") << "read back as the file holds it";
    applyAccent("defaultColor");
    applyTheme("<default>");
    EXPECT_EQ(appearance("Work"), sample) << "default colour and built-in theme are the empty text";

    // Leaving the setting alone (or the empty text, recorded while Obsidian was absent) does not
    // touch the file; neither does a value it already holds, so a file in a form of its own keeps
    // that form.
    const QByteArray compact = R"({"cssTheme":"Minimal","accentColor":"#FFFFFF","a":1})";
    home.writeFile("Vaults/Work/.obsidian/appearance.json", compact);
    applyTheme(ObsidianThemeOptionModel::doNotSetValue);
    applyAccent("doNotChange");
    applyTheme("");
    applyAccent("");
    applyTheme("Minimal");
    EXPECT_EQ(appearance("Work"), compact);

    // Other texts are written unchanged.
    home.writeFile("Vaults/Work/.obsidian/appearance.json", sample);
    applyAccent("not a colour");
    EXPECT_EQ(currentAccent(), "not a colour");
}

TEST_F(ObsidianAppearanceTest, MissingMembersAreAddedAndOddFilesAreNeverWritten)
{
    // Obsidian leaves out members that were never changed: applying adds the one it sets.
    home.writeFile("Vaults/Work/.obsidian/appearance.json", obsidianFile(R"(  "baseFontSize": 16)"));
    EXPECT_EQ(currentTheme(), std::nullopt);
    applyTheme("Things");
    EXPECT_EQ(appearance("Work"), obsidianFile("  \"baseFontSize\": 16,\n  \"cssTheme\": \"Things\""));
    home.writeFile("Vaults/Work/.obsidian/appearance.json", "{}");
    applyAccent("#00FF00");
    EXPECT_EQ(appearance("Work"), obsidianFile(R"(  "accentColor": "#00FF00")"));
    home.writeFile("Vaults/Work/.obsidian/appearance.json", R"({"cssTheme":null})");
    applyTheme("Things");
    EXPECT_EQ(appearance("Work"), obsidianFile(R"(  "cssTheme": "Things")"));

    // A file that is no JSON object, or holds the member as something Obsidian never writes, stays as
    // it is, and the error names the file.
    const QString path = appearancePath("Work");
    const QList<QByteArray> odd {"[\"cssTheme\"]", "{\"cssTheme\": ", "{\"cssTheme\": 3}",
                                 QByteArray(70, '[') + QByteArray(70, ']'),
                                 "{\"a\":\"" + QByteArray(JSONController::maximumSize, 'x') + "\"}"};
    for (const QByteArray &bytes : odd) {
        home.writeFile("Vaults/Work/.obsidian/appearance.json", bytes);
        TestSupport::OutsideWriter::age(path, 61); // unchanged for long: not a save in progress
        EXPECT_TRUE(failure([&] { applyTheme("Things"); }).contains(path)) << bytes.left(40).constData();
        EXPECT_EQ(appearance("Work"), bytes);
        EXPECT_EQ(currentTheme(), std::nullopt);
    }
    // A link that cannot be followed is no missing file: the error says so.
    for (const QString &target : {path, home.filePath("nowhere/appearance.json")}) {
        QFile::remove(path);
        ASSERT_TRUE(QFile::link(target, path));
        EXPECT_TRUE(failure([&] { applyTheme("Things"); }).contains(path));
        EXPECT_TRUE(QFileInfo(path).isSymLink());
    }

    // Without the file, it is made holding what the apply sets, as Obsidian makes it; without Obsidian's
    // folder in the vault, the apply fails and names it; without a chosen vault, nothing happens.
    QFile::remove(path);
    applyTheme("Things");
    applyAccent("#000000");
    EXPECT_EQ(appearance("Work"),
              obsidianFile("  \"cssTheme\": \"Things\",\n  \"accentColor\": \"#000000\""));
    QDir(home.filePath("Vaults/Work/.obsidian")).removeRecursively();
    const QString folder = home.filePath("Vaults/Work/.obsidian");
    EXPECT_TRUE(failure([&] { applyTheme("Things"); }).contains("“" + folder + "”"));
    EXPECT_FALSE(QFileInfo::exists(folder));
    listVaults({});
    applyTheme("Things");
    EXPECT_EQ(currentTheme(), std::nullopt);
}

TEST_F(ObsidianAppearanceTest, WritesAtomicallyThroughLinks)
{
    // The file is a link into a dotfiles folder: the target is replaced, the link stays.
    const QString target = home.filePath("dotfiles/appearance.json");
    home.writeFile("dotfiles/appearance.json", sample);
    const QString path = appearancePath("Work");
    QFile::remove(path);
    ASSERT_TRUE(QFile::link(target, path));
    applyTheme("Minimal");
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_EQ(home.readFile("dotfiles/appearance.json"),
              replaced(sample, R"("cssTheme": "")", R"("cssTheme": "Minimal")"));

    // A write that fails part way (here: the process may not write files that large) leaves the former
    // file whole and reports the file.
    QString error;
    {
        TestSupport::FileSizeLimit small(64);
        error = failure([&] { applyTheme("Things"); });
    }
    EXPECT_TRUE(error.contains(path) && error.contains("File too large")) << error.toStdString();
    EXPECT_EQ(currentTheme(), "Minimal");
}

// Obsidian's save between the apply's read and its rename makes the file one the program does not
// overwrite: nothing is written.
TEST_F(ObsidianAppearanceTest, ASaveThatMakesTheFileOddMeanwhileIsNotWrittenOver)
{
    using TestSupport::OutsideWriter;
    const QString path = appearancePath("Work");
    const QByteArray odd = replaced(sample, R"("accentColor": "")", R"("accentColor": 3)");
    OutsideWriter obsidian(path);
    obsidian.at(OutsideWriter::Step::Replacing, 1, [&] { OutsideWriter::writeInPlace(path, odd); });
    EXPECT_TRUE(failure([&] { applyAccent("#00FF00"); }).contains(path));
    EXPECT_EQ(appearance("Work"), odd);
}

// Obsidian's file is looked at as it is opened: a named pipe that takes its place between one look and
// the next is refused, never waited on.
TEST_F(ObsidianAppearanceTest, APipeThatTakesTheFilesPlaceMeanwhileIsNeverWaitedOn)
{
    const QString path = appearancePath("Work");
    TestSupport::HostileFiles::SwappingPipe swapping(path, sample);
    ASSERT_TRUE(swapping.isValid());
    const auto tally = swapping.keepReading([&] {
        try {
            EXPECT_EQ(JSONController::open(path).json()["theme"], "obsidian");
            return true;
        } catch (const JSONFileError &error) {
            EXPECT_EQ(error.path(), path);
            return false;
        }
    });
    EXPECT_LT(tally.took, TestSupport::stuckOnAPipe);
    EXPECT_GT(tally.read, 0);
    EXPECT_GT(tally.refused, 0);
}

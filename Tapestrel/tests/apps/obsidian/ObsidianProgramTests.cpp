#include "Tapestrel/tests/automation/RunningProgram.h"

namespace {

const QString appearanceFile = QStringLiteral("Vaults/Work/.obsidian/appearance.json");

QByteArray appearance(const QByteArray &theme)
{
    return "{\n  \"accentColor\": \"#7f6df2\",\n  \"cssTheme\": \"" + theme
        + "\",\n  \"baseFontSize\": 16,\n  \"enabledCssSnippets\": [\n    \"wide\"\n  ]\n}";
}

// The real program in a home where Obsidian lists one vault, whose theme is "Minimal".
class ObsidianProgramTest : public AutomationTests::RunningProgramTest
{
protected:
    void prepareHome() override
    {
        home.writeFile(appearanceFile, appearance("Minimal"));
        home.writeFile("Library/Application Support/obsidian/obsidian.json",
                       QStringLiteral(R"({"vaults":{"5e1f":{"path":"%1","ts":1712345678901,"open":true}}})")
                           .arg(home.filePath("Vaults/Work"))
                           .toUtf8());
    }
};

} // namespace

TEST_F(ObsidianProgramTest, ApplyingAProfileSetsTheVaultsThemeAndNothingElse)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    // A profile made from the current settings takes the vault's theme and accent colour.
    const TestSupport::ProcessRun created = tapestrel({"create", "Writing"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    home.writeFile(appearanceFile, appearance("Things"));
    const TestSupport::ProcessRun applied = tapestrel({"apply", created.out.section('\t', 0, 0)});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    EXPECT_EQ(home.readFile(appearanceFile), appearance("Minimal"));
}

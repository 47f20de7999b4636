#include "Tapestrel/tests/automation/RunningProgram.h"

#include "platform/UserDefaults.h"

namespace {

const QString code = QStringLiteral("Library/Application Support/Code/");
const QString workSettings = code + QStringLiteral("User/profiles/-3f1a/settings.json");
const QString defaultSettings = code + QStringLiteral("User/settings.json");

// A settings file as users keep it: comments, a trailing comma, CRLF, no final newline.
QByteArray settings(const QByteArray &theme)
{
    return "// Work\r\n{\r\n\t\"editor.fontSize\": 14, // big\r\n\t\"workbench.colorTheme\": \"" + theme
        + "\",\r\n\t\"[Tokyo Night]\": {\"editor.background\": \"#000\"},\r\n}";
}

// The real program in a home where VS Code has a named profile, chosen for the program, whose
// theme is "Red".
class VSCodeProgramTest : public AutomationTests::RunningProgramTest
{
protected:
    void prepareHome() override
    {
        home.writeFile(code + "User/globalStorage/storage.json",
                       R"({"userDataProfiles": [{"location": "-3f1a", "name": "Work"}]})");
        home.writeFile(workSettings, settings("Red"));
        home.writeFile(defaultSettings, "{\"workbench.colorTheme\": \"Default Dark+\"}");
        Platform::UserDefaults::standard().setValue(QStringLiteral("apps.vscode.profileID"),
                                                    QStringLiteral("-3f1a"));
        ASSERT_TRUE(Platform::UserDefaults::standard().synchronize());
    }
};

} // namespace

TEST_F(VSCodeProgramTest, ApplyingAProfileChangesOneKeyOfTheChosenProfilesSettings)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    // A profile made from the current settings takes the chosen VS Code profile's theme.
    const TestSupport::ProcessRun created = tapestrel({"create", "Coding"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    home.writeFile(workSettings, settings("Monokai"));
    const TestSupport::ProcessRun applied = tapestrel({"apply", created.out.section('\t', 0, 0)});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    EXPECT_EQ(home.readFile(workSettings), settings("Red"));
    EXPECT_EQ(home.readFile(defaultSettings), "{\"workbench.colorTheme\": \"Default Dark+\"}");
}

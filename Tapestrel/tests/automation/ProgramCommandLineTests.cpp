#include "Tapestrel/tests/automation/RunningProgram.h"

namespace {

using CommandRun = TestSupport::ProcessRun;
using ProgramCommandLineTest = AutomationTests::RunningProgramTest;

} // namespace

TEST_F(ProgramCommandLineTest, CreatesListsAndAppliesThroughTheRunningProgram)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    ASSERT_EQ(tapestrel({QStringLiteral("list")}).exitCode, 0);

    const CommandRun created = tapestrel({QStringLiteral("create"), QStringLiteral("Evening")});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_TRUE(created.out.trimmed().endsWith(QStringLiteral("\tEvening"))) << created.out.toStdString();

    QHash<QString, QString> ids = listedProfiles();
    ASSERT_TRUE(ids.contains(QStringLiteral("Evening")));
    EXPECT_EQ(created.out.section(QLatin1Char('\t'), 0, 0), ids.value(QStringLiteral("Evening")));
    ASSERT_TRUE(ids.contains(QStringLiteral("Midnight"))) << "the shipped profiles are imported at start-up";

    // Applying the dark shipped profile changes the emulated system, as the defaults tool sees it.
    const CommandRun applied = tapestrel({QStringLiteral("apply"), ids.value(QStringLiteral("Midnight"))});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    Platform::UserDefaults &global = Platform::UserDefaults::global();
    EXPECT_EQ(global.string(QStringLiteral("AppleInterfaceStyle")), QStringLiteral("Dark"));

    const CommandRun unknown = tapestrel({QStringLiteral("apply"), QStringLiteral("NOPE")});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("NOPE"))) << unknown.err.toStdString();
    EXPECT_EQ(listedProfiles().size(), ids.size()) << "a failed command changes nothing";
}

#include "platform/DefaultsTool.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "testsupport/OutsideWriter.h"
#include "testsupport/RunProcess.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <memory>
#include <vector>

using Platform::PropertyList;
using Platform::UserDefaults;
using TestSupport::TempHomeTest;

namespace {

using ToolRun = TestSupport::ProcessRun;

ToolRun tool(const QStringList &arguments)
{
    ToolRun run = TestSupport::runProcess(Platform::DefaultsTool::path(), arguments,
                                          TestSupport::withLeakCheck(QProcessEnvironment::systemEnvironment()),
                                          std::chrono::seconds(10));
    if (run.exitCode == -1)
        ADD_FAILURE() << "the tool did not finish normally: " << arguments.join(' ').toStdString();
    return run;
}

} // namespace

class DefaultsToolTest : public TempHomeTest
{
protected:
    void SetUp() override { ASSERT_TRUE(QFileInfo(Platform::DefaultsTool::path()).isExecutable()); }
};

TEST_F(DefaultsToolTest, WritesAndReadsTypedValuesSeenByTheProgramAtOnce)
{
    EXPECT_EQ(tool({"write", "com.example", "k", "-string", "a b"}).exitCode, 0);
    ToolRun read = tool({"read", "com.example", "k"});
    EXPECT_EQ(read.exitCode, 0);
    EXPECT_EQ(read.out, "a b\n");
    EXPECT_EQ(read.err, "");

    // The program's standard defaults see the global write without a restart, as text too.
    UserDefaults &standard = UserDefaults::standard();
    EXPECT_FALSE(standard.contains("AppleAccentColor"));
    EXPECT_EQ(tool({"write", "-g", "AppleAccentColor", "-int", "4"}).exitCode, 0);
    EXPECT_EQ(tool({"read", "-g", "AppleAccentColor"}).out, "4\n");
    EXPECT_EQ(standard.string("AppleAccentColor"), QStringLiteral("4"));
    EXPECT_EQ(UserDefaults::global().persistentValue("AppleAccentColor"), QVariant(qint64(4)));

    const QList<std::pair<QString, bool>> booleans {{"true", true},   {"YES", true}, {"1", true},
                                                    {"false", false}, {"no", false}, {"0", false}};
    for (const auto &[text, expected] : booleans) {
        EXPECT_EQ(tool({"write", "com.apple.WindowManager", "HideDesktop", "-bool", text}).exitCode, 0)
            << text.toStdString();
        EXPECT_EQ(UserDefaults::suite("com.apple.WindowManager")->persistentValue("HideDesktop"),
                  QVariant(expected));
        EXPECT_EQ(tool({"read", "com.apple.WindowManager", "HideDesktop"}).out, expected ? "1\n" : "0\n");
    }

    EXPECT_EQ(tool({"write", "com.example", "scale", "-float", "0.75"}).exitCode, 0);
    EXPECT_EQ(tool({"read", "com.example", "scale", "-string"}).out, "0.75\n"); // trailing flag ignored
    EXPECT_EQ(tool({"write", "com.example", "neg", "-int", "-3"}).exitCode, 0);
    EXPECT_EQ(tool({"read", "com.example", "neg", "-int"}).out, "-3\n");
    EXPECT_EQ(tool({"write", "com.example", "plain", "it's \"quoted\""}).exitCode, 0);
    EXPECT_EQ(tool({"read", "com.example", "plain"}).out, "it's \"quoted\"\n");

    // The file the tool writes is the binary property list the program reads.
    const std::optional<QVariantMap> file =
        PropertyList::parseDictionary(home.readFile("Library/Preferences/com.example.plist"));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->value("k"), QVariant(QStringLiteral("a b")));
    EXPECT_EQ(file->value("scale"), QVariant(0.75));

    // What other programs write, the tool reads, other types included: a zero keeps its sign, and a
    // date too far away to place says so.
    const QList<std::pair<QVariant, QString>> printed {
        {QVariantList {"a b", 2}, "(\n    \"a b\",\n    2\n)\n"},
        {QVariantMap {{"k", QVariantList {"x", QVariantMap()}}},
         "{\n    k = (\n        x,\n        {\n        }\n    );\n}\n"},
        {-0.0, "-0\n"},
        {QVariant::fromValue(Platform::PropertyListDate {1e300}), "(date out of range)\n"},
        {QVariant::fromValue(Platform::PropertyListDate {qQNaN()}), "(date out of range)\n"},
    };
    for (qsizetype i = 0; i < printed.size(); ++i) {
        home.writeFile("Library/Preferences/com.example.printed.plist",
                       PropertyList::toBinary(QVariantMap {{"k", printed[i].first}}));
        const ToolRun read = tool({"read", "com.example.printed", "k"});
        EXPECT_EQ(read.exitCode, 0) << i;
        EXPECT_EQ(read.out, printed[i].second) << i;
    }

    // A key keeps every character, a leading U+FEFF included.
    const QString bomKey = QChar(0xFEFF) + QStringLiteral("k");
    EXPECT_EQ(tool({"write", "com.example", bomKey, "v"}).exitCode, 0);
    EXPECT_EQ(UserDefaults::suite("com.example")->persistentValue(bomKey), QVariant(QStringLiteral("v")));
}

TEST_F(DefaultsToolTest, MissingKeysAndBadInputFailWithoutWriting)
{
    ToolRun missing = tool({"read", "com.example", "nothing"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_FALSE(missing.err.isEmpty());
    EXPECT_EQ(tool({"read", "-g", "nothing"}).exitCode, 1);

    EXPECT_EQ(tool({"write", "com.example", "keep", "-int", "1"}).exitCode, 0);
    const QByteArray before = home.readFile("Library/Preferences/com.example.plist");
    ToolRun deleteMissing = tool({"delete", "com.example", "nothing"});
    EXPECT_EQ(deleteMissing.exitCode, 1);
    EXPECT_FALSE(deleteMissing.err.isEmpty());

    const QList<QStringList> bad {
        {},
        {"frobnicate", "com.example", "k"},
        {"read", "com.example"},
        {"read"},
        {"read", "com.example", "k", "extra", "args"},
        {"write", "com.example", "k"},
        {"write", "com.example", "k", "-int"},
        {"write", "com.example", "k", "-int", "abc"},
        {"write", "com.example", "k", "-int", "4.5"},
        {"write", "com.example", "k", "-bool", "maybe"},
        {"write", "com.example", "k", "-float", "x1"},
        {"write", "com.example", "k", "-date", "2020"},
        {"write", "com.example", "k", "-string", "a", "b"},
        {"write", "../evil", "k", "-string", "a"},
        {"write", "com.example", "", "-string", "a"},
        {"delete", "com.example"},
        {"delete", "com.example", "keep", "extra"},
    };
    for (const QStringList &arguments : bad) {
        const ToolRun run = tool(arguments);
        EXPECT_NE(run.exitCode, 0) << arguments.join(' ').toStdString();
        EXPECT_EQ(run.out, "") << arguments.join(' ').toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    }
    EXPECT_EQ(home.readFile("Library/Preferences/com.example.plist"), before);
    EXPECT_FALSE(QFileInfo::exists(home.filePath("Library/evil.plist")));

    EXPECT_EQ(tool({"delete", "com.example", "keep"}).exitCode, 0);
    EXPECT_EQ(tool({"read", "com.example", "keep"}).exitCode, 1);
}

TEST_F(DefaultsToolTest, DomainsAreReadWholeOrLeftAsTheyAre)
{
    // {"AppleAccentColor": 4, "k": "☀\0x"} as another program writes it: the text is UTF-16.
    const QByteArray global = QByteArray::fromHex(
        "62706c6973743030d2010203045f10104170706c65416363656e74436f6c6f72516b100463260000"
        "000078080d202224000000000000010100000000000000050000000000000000000000000000002b");
    const QString globalFile = QStringLiteral("Library/Preferences/.GlobalPreferences.plist");
    home.writeFile(globalFile, global);
    EXPECT_EQ(tool({"read", "-g", "AppleAccentColor"}).out, "4\n");
    EXPECT_EQ(tool({"write", "-g", "AppleAccentColor", "-int", "5"}).exitCode, 0);
    EXPECT_EQ(tool({"read", "-g", "AppleAccentColor"}).out, "5\n");
    EXPECT_FALSE(QFileInfo::exists(home.filePath(globalFile + ".corrupt")));
    EXPECT_EQ(PropertyList::parseDictionary(home.readFile(globalFile)).value_or(QVariantMap()).value("k"),
              QVariant(QStringLiteral("\u2600") + QChar(0) + QStringLiteral("x")));

    // A list that could not be written back as it is: both verbs say why, and nothing is written.
    const QString latin1File = QStringLiteral("Library/Preferences/com.example.latin1.plist");
    const QByteArray latin1 = "<plist><dict><key>k</key><string>caf\xE9</string></dict></plist>";
    home.writeFile(latin1File, latin1);
    for (const QStringList &arguments : {QStringList {"write", "com.example.latin1", "k", "-string", "x"},
                                         QStringList {"read", "com.example.latin1", "k"}}) {
        const ToolRun run = tool(arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("text that is not valid UTF-8")) << run.err.toStdString();
    }
    EXPECT_EQ(home.readFile(latin1File), latin1);

    // A damaged list (not changed for long) is set aside for the write, which says where it is kept.
    const QString damagedFile = QStringLiteral("Library/Preferences/com.example.damaged.plist");
    home.writeFile(damagedFile, "not a property list");
    TestSupport::OutsideWriter::age(home.filePath(damagedFile), 120);
    const ToolRun written = tool({"write", "com.example.damaged", "k", "-string", "x"});
    EXPECT_EQ(written.exitCode, 1);
    EXPECT_TRUE(written.err.contains(home.filePath(damagedFile) + ".corrupt")) << written.err.toStdString();
    EXPECT_EQ(home.readFile(damagedFile + ".corrupt"), "not a property list");
    EXPECT_EQ(tool({"read", "com.example.damaged", "k"}).out, "x\n");
}

TEST_F(DefaultsToolTest, ConcurrentWritersKeepEachOthersKeys)
{
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int i = 0; i < 12; ++i) {
        auto process = std::make_unique<QProcess>();
        process->start(
            Platform::DefaultsTool::path(),
            {"write", "com.example.shared", QStringLiteral("key%1").arg(i), "-int", QString::number(i)});
        writers.push_back(std::move(process));
    }
    for (auto &process : writers) {
        ASSERT_TRUE(process->waitForFinished(20000));
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
    }
    const QVariantMap stored = UserDefaults::suite("com.example.shared")->persistentDomain();
    EXPECT_EQ(stored.size(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(stored.value(QStringLiteral("key%1").arg(i)), QVariant(qint64(i)));
}

// A domain caught half saved by another program: the tool says what it did with it, waited and wrote
// on top of the finished save, or waited and left it as it is; it never claims to set it aside.
TEST_F(DefaultsToolTest, ADomainCaughtHalfSavedIsWaitedForAndTheToolSaysWhatItDid)
{
    const QByteArray theirs = PropertyList::toBinary(QVariantMap {{"a", 1}});
    const QString file = QStringLiteral("Library/Preferences/com.example.saving.plist");
    for (const bool completed : {true, false}) {
        SCOPED_TRACE(completed ? "completed while the tool waits" : "left half saved");
        home.writeFile(file, theirs.left(theirs.size() / 2));
        const TestSupport::SettleTime settle(std::chrono::milliseconds(completed ? 20000 : 300));
        QProcess process;
        process.setReadChannel(QProcess::StandardError);
        process.start(Platform::DefaultsTool::path(), {"write", "com.example.saving", "k", "x"});
        QByteArray err;
        // Completed once the tool has seen it half saved, and so waits.
        while (completed && !err.contains("another program may still be saving it")
               && process.waitForReadyRead(10000))
            err += process.readAllStandardError();
        if (completed)
            TestSupport::OutsideWriter::writeInPlace(home.filePath(file), theirs);
        ASSERT_TRUE(process.waitForFinished(10000));
        err += process.readAllStandardError();
        EXPECT_EQ(process.exitCode(), completed ? 0 : 1) << err.toStdString();
        EXPECT_TRUE(err.contains(completed ? "was written on top of it" : "was waited for"))
            << err.toStdString();
        EXPECT_FALSE(err.contains("corrupt") || err.contains("empty domain")) << err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(home.filePath(file + ".corrupt")));
        EXPECT_EQ(PropertyList::parseDictionary(home.readFile(file)).value_or(QVariantMap()).keys(),
                  completed ? QStringList({"a", "k"}) : QStringList());
    }
}

// A run that the program ends at its time limit says what became of the domain, as it is once what the
// tool left half done is finished: an exchange cut short is undone, and no swap file stays.
TEST_F(DefaultsToolTest, ARunEndedAtItsTimeLimitSaysWhetherTheDomainChanged)
{
    const TestSupport::ScopedVariable held(
        "TAPESTREL_DEFAULTS_TOOL",
        QFile::encodeName(QCoreApplication::applicationDirPath() + "/held-defaults-tool"));
    const QString file = QStringLiteral("Library/Preferences/com.example.held.plist");
    for (const QByteArray step : {"exchanged", "end"}) {
        SCOPED_TRACE(step.constData());
        const TestSupport::ScopedVariable at("HELD_AT", step);
        home.writeFile(file, PropertyList::toBinary(QVariantMap {{"a", 1}}));
        const Platform::DefaultsTool::Run run = Platform::DefaultsTool::run(
            {"write", "com.example.held", "k", "-string", "x"}, std::chrono::milliseconds(2000));
        EXPECT_EQ(run.output, std::nullopt);
        const bool changed = step == "end";
        EXPECT_EQ(run.changedWhenEnded, std::optional(changed));
        EXPECT_EQ(PropertyList::parseDictionary(home.readFile(file)),
                  changed ? QVariantMap({{"a", 1}, {"k", "x"}}) : QVariantMap({{"a", 1}}));
        EXPECT_EQ(QDir(home.filePath("Library/Preferences")).entryList(QDir::Files | QDir::Hidden),
                  QStringList({"com.example.held.plist", "com.example.held.plist.lock"}));
    }
}

#include "Tapestrel/tests/automation/RunningProgram.h"

#include "Tapestrel/Registries.h"
#include "Tapestrel/automation/CommandLineClient.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileController.h"
#include "Tapestrel/model/ProfileNames.h"
#include "Tapestrel/system/DefaultDesktopPicture.h"

#include "KivDesktopBackground/Background.h"
#include "KivUtilities/DataPath.h"
#include "platform/Workspace.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/OutsideWriter.h"
#include "testsupport/SilentDecoders.h"
#include "testsupport/XSessionManager.h"

#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using CommandRun = TestSupport::ProcessRun;
using ProgramCommandLineTest = AutomationTests::RunningProgramTest;

} // namespace

// Started again, the program hands over to the one running and ends, freeing what it made.
TEST_F(ProgramCommandLineTest, StartedAgainTheProgramHandsOverToTheOneRunning)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    const CommandRun again = tapestrel({});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(programPid(), running.processId());
}

// Names any caller on the bus may give, each meant to take over the terminal that lists it or to fool
// a script that reads the list: on the command line they show only as visible escapes.
TEST_F(ProgramCommandLineTest, HostileNamesReachTheTerminalOnlyAsVisibleEscapes)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    const struct
    {
        QString name;
        QString shown;
    } hostile[] = {
        {u"Title\x1b]0;owned\x07"_s, u"Title\\u001b]0;owned\\u0007"_s},
        {u"Clipboard\x1b]52;c;b3duZWQ=\x1b\\"_s, u"Clipboard\\u001b]52;c;b3duZWQ=\\u001b\\\\"_s},
        {u"Clear\x1b[2J\x1b[H"_s, u"Clear\\u001b[2J\\u001b[H"_s},
        {u"Row\nFORGED-ID\tForged"_s, u"Row\\nFORGED-ID\\tForged"_s},
        {u"Over\rprint"_s, u"Over\\rprint"_s},
        {u"Left\u202Ethgir\u2066"_s, u"Left\\u202ethgir\\u2066"_s},
        {u"Marks\u200E\u200F\u061C"_s, u"Marks\\u200e\\u200f\\u061c"_s},
        {u"Lines\u2028\u2029"_s, u"Lines\\u2028\\u2029"_s},
        // Typed, not a tab: it must not read as the row above that holds one.
        {u"Row\\nFORGED-ID\\tForged"_s, u"Row\\\\nFORGED-ID\\\\tForged"_s},
    };
    const auto createOverTheBus = [this](const QString &name) {
        QDBusPendingCall call = AutomationTests::scriptCall(bus.connection(), "CreateProfile", {name});
        call.waitForFinished();
        return call.reply();
    };
    for (const auto &[name, shown] : hostile)
        ASSERT_EQ(createOverTheBus(name).type(), QDBusMessage::ReplyMessage) << shown.toStdString();
    ASSERT_EQ(createOverTheBus(hostile[0].name).type(), QDBusMessage::ReplyMessage);
    const QString raw[] = {u"\x1b"_s,   u"\x07"_s,   u"\r"_s,     u"\u202E"_s, u"\u2066"_s,
                           u"\u200E"_s, u"\u200F"_s, u"\u061C"_s, u"\u2028"_s, u"\u2029"_s};

    const CommandRun listed = tapestrel({"list"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const QHash<QString, QString> ids = listedProfiles();
    const QStringList rows = listed.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(rows.size(), ids.size() + 1) << "one row each, the twins included, and no forged one";
    for (const QString &row : rows)
        EXPECT_EQ(row.count('\t'), 1) << row.toStdString();
    for (const auto &[name, shown] : hostile) {
        EXPECT_TRUE(listed.out.contains('\t' + shown + '\n')) << shown.toStdString();
        EXPECT_TRUE(ids.contains(name))
            << "the JSON listing has the name as it was given: " << shown.toStdString();
    }

    const CommandRun created = tapestrel({"create", hostile[3].name});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_EQ(created.out, created.out.section('\t', 0, 0) + '\t' + hostile[3].shown + '\n');

    const CommandRun ambiguous = tapestrel({"apply", hostile[0].name});
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_TRUE(ambiguous.err.startsWith("tapestrel: Several profiles are named “" + hostile[0].shown + "”"))
        << ambiguous.err.toStdString();
    // The program's messages show names as the listing does, escaped once.
    const auto &typed = hostile[std::size(hostile) - 1];
    const CommandRun missing = tapestrel({"apply", "Nope" + typed.name});
    EXPECT_EQ(missing.err, "tapestrel: There is no profile with the id or name “Nope" + typed.shown + "”.\n");
    QStringList unknown;
    for (const auto &[name, shown] : hostile) {
        unknown.append(tapestrel({name}).err);
        EXPECT_TRUE(unknown.back().startsWith("tapestrel: Unknown command “" + shown + "”.\nUsage:"))
            << unknown.back().toStdString();
    }
    for (const QString &character : raw) {
        for (const QString &output : QStringList {listed.out, created.out, ambiguous.err} + unknown)
            EXPECT_FALSE(output.contains(character)) << output.toStdString();
    }

    // A name longer than a name may be is refused, over the bus and on the command line alike.
    const QString tooLong(ProfileNames::maximumLength + 1, u'n');
    const QDBusMessage refused = createOverTheBus(tooLong);
    EXPECT_EQ(refused.errorName(), AutomationService::invalidArgumentError);
    const CommandRun refusedHere = tapestrel({"create", tooLong});
    EXPECT_EQ(refusedHere.exitCode, 1);
    EXPECT_EQ(refusedHere.err,
              "tapestrel: A profile name can have at most 1024 characters; this one has 1025.\n");
    EXPECT_EQ(listedProfiles().size(), ids.size());
    // One exactly as long as a name may be is taken.
    const CommandRun longest = tapestrel({"create", tooLong.left(ProfileNames::maximumLength)});
    EXPECT_EQ(longest.exitCode, 0) << longest.err.toStdString();
}

namespace {

// The real program, without its window, over a store with as many profiles as a restore lets in, each
// named with as many characters as a name may have, of three bytes each, and one longer name kept
// from before names had a limit.
class LongestNamesProgramTest : public AutomationTests::RunningProgramTest
{
protected:
    void prepareHome() override
    {
        ModelContainer store(KivUtilities::DataPath::path() + QStringLiteral("/data.sqlite"));
        for (int index = 0; index < 10000; ++index) {
            const QString number = QString::number(index);
            store.mainContext()->insert(std::make_unique<Profile>(
                QString(ProfileNames::maximumLength, u'語').replace(0, number.size(), number)));
        }
        store.mainContext()->insert(
            std::make_unique<Profile>(QString(3 * ProfileNames::maximumLength, u'語')));
        store.mainContext()->save();
        running.setArguments({CommandLineClient::noWindowOption});
    }
};

} // namespace

TEST_F(LongestNamesProgramTest, ListingTheLongestNamesAnswersAndTheProgramKeepsItsName)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    const QDBusMessage reply = bus.connection().call(
        QDBusMessage::createMethodCall(AutomationService::serviceName, AutomationService::objectPath,
                                       AutomationService::interfaceName, "ListProfiles"),
        QDBus::Block, 120000);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    const auto profiles = qdbus_cast<QList<QVariantMap>>(reply.arguments().value(0));
    EXPECT_GT(profiles.size(), 10000);
    qsizetype longest = 0;
    for (const QVariantMap &profile : profiles)
        longest = std::max(longest, profile.value("name").toString().size());
    EXPECT_EQ(longest, ProfileNames::maximumLength) << "the older name is listed cut";
    EXPECT_EQ(programPid(), running.processId());
}

namespace {

// The real program in a home whose VS Code settings file stops parsing after a profile took its
// theme: the theme cannot be set.
class BrokenSettingsProgramTest : public AutomationTests::RunningProgramTest
{
protected:
    void prepareHome() override { home.writeFile(settingsFile, "{\"workbench.colorTheme\": \"Abyss\"}"); }

    const QString settingsFile = "Library/Application Support/Code/User/settings.json";
    const QByteArray broken = "{\n  \"editor.fontSize\": 14,\n";
};

} // namespace

TEST_F(BrokenSettingsProgramTest, AnApplyThatCouldNotChangeASettingSaysWhichAndExitsWithOne)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    const CommandRun created = tapestrel({"create", "Workday"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    home.writeFile(settingsFile, broken);
    TestSupport::OutsideWriter::age(home.filePath(settingsFile), 61); // broken for long: no save under way
    // The desktop turned dark since: applying the (light) profile brings it back.
    Platform::UserDefaults &global = Platform::UserDefaults::global();
    ASSERT_TRUE(global.setValue("AppleInterfaceStyle", "Dark"));

    const CommandRun applied = tapestrel({"apply", "Workday"});
    EXPECT_EQ(applied.exitCode, 1);
    EXPECT_TRUE(applied.out.isEmpty());
    const QStringList lines = applied.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << applied.err.toStdString();
    EXPECT_EQ(lines[0], "tapestrel: Applied “Workday”, but 1 of its settings could not be changed:");
    EXPECT_TRUE(lines[1].startsWith("  Tools › Visual Studio Code › Theme: ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(home.filePath(settingsFile))) << lines[1].toStdString();
    // The file that did not parse is left as it was; every other setting was applied.
    EXPECT_EQ(home.readFile(settingsFile), broken);
    EXPECT_NE(global.string("AppleInterfaceStyle"), "Dark");
}

namespace {

// The real program in a home with iTerm2 and a profile that sets its theme, where a named pipe stands
// in place of the table of running applications.
class PipedRunningApplicationsProgramTest : public AutomationTests::RunningProgramTest
{
protected:
    void prepareHome() override
    {
        home.installApp("iTerm", "com.googlecode.iterm2");
        Platform::UserDefaults *iterm = Platform::UserDefaults::suite("com.googlecode.iterm2");
        iterm->setValue("New Bookmarks", QVariantList {QVariantMap {{"Guid", "G"}}});
        iterm->setValue("Default Bookmark Guid", "G");
        ASSERT_TRUE(iterm->synchronize());
        ModelContainer store(KivUtilities::DataPath::path() + QStringLiteral("/data.sqlite"));
        Option *theme = store.mainContext()
                            ->insert(std::make_unique<Profile>("Terminal"))
                            ->findOrCreateOption("tools.iterm.theme");
        theme->setValue("Tango Dark");
        theme->setEnabled(true);
        store.mainContext()->save();
        ASSERT_TRUE(TestSupport::HostileFiles::makePipe(Platform::Workspace::runningApplicationsFile()));
    }
};

} // namespace

TEST_F(PipedRunningApplicationsProgramTest, ApplyingAnITermThemeAndListingAnswer)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    // A program stuck on the pipe would never answer: the commands are given a time-out of their own.
    const CommandRun applied =
        TestSupport::runProcess(program, {"apply", "Terminal"}, environment, std::chrono::seconds(30));
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    // The colours are written into iTerm2's one profile beside its id.
    EXPECT_GT(Platform::UserDefaults::suite("com.googlecode.iterm2")
                  ->value("New Bookmarks")
                  .toList()
                  .value(0)
                  .toMap()
                  .size(),
              1);
    const CommandRun listed =
        TestSupport::runProcess(program, {"list"}, environment, std::chrono::seconds(30));
    EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    EXPECT_TRUE(listed.out.contains("\tTerminal\n")) << listed.out.toStdString();
}

namespace {

// The real program in a fresh emulated home, on a session bus of its own, started by the commands.
class FreshHomeProgramTest : public AutomationTests::ProgramOnItsOwnBusTest
{
protected:
    void SetUp() override
    {
        ProgramOnItsOwnBusTest::SetUp();
        // Real windows where there is a display (xvfb); a program that opened its main window would
        // end at its first paint, and the next command would find no program.
        if (environment.contains("DISPLAY"))
            environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("TAPESTREL_QUIT_AFTER_FIRST_PAINT", "1");
    }

    TestSupport::ProcessRun tapestrel(const QStringList &arguments) const
    {
        return TestSupport::runProcess(program, arguments, environment);
    }
};

} // namespace

TEST_F(FreshHomeProgramTest, CommandsStartTheProgramWithoutAWindowAndAnswerAtOnce)
{
    const TestSupport::ProcessRun help = tapestrel({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out, CommandLineClient::usage() + QStringLiteral("\n"));
    EXPECT_EQ(tapestrel({"bogus"}).exitCode, 2);
    EXPECT_EQ(programPid(), 0) << "neither starts the program";

    // No program runs: the command starts it, without its main window, and is answered.
    const TestSupport::ProcessRun listed = tapestrel({"list"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const qint64 pid = programPid();
    ASSERT_NE(pid, 0);

    // A fresh home asks nothing: its desktop has the default picture, and a script's request never
    // waits on a dialog.
    QElapsedTimer clock;
    clock.start();
    const TestSupport::ProcessRun created = tapestrel({"create", "X"});
    const qint64 createTime = clock.elapsed();
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_LT(createTime, 5000);
    const QString id = created.out.section(QLatin1Char('\t'), 0, 0);
    EXPECT_EQ(created.out, id + QStringLiteral("\tX\n"));

    // The new profile holds every option with the values the emulated system has.
    Profile system("system");
    {
        Registries registries;
        ProfileController reader(&system, {}, registries.optionStore());
        reader.setAttendance(ProfileOperationQueue::Attendance::unattended);
        TestSupport::runTask(reader.readCurrentSettings(), std::chrono::seconds(30));
    }
    {
        ModelContainer store(KivUtilities::DataPath::path() + QStringLiteral("/data.sqlite"));
        const QList<Profile *> stored = store.mainContext()->fetchProfiles(id);
        ASSERT_EQ(stored.size(), 1);
        // What the emulated system shows; nothing of the applications that are not installed.
        EXPECT_EQ(stored[0]->option("apps.vscode.theme"), nullptr);
        EXPECT_EQ(stored[0]->option("apps.obsidian.theme"), nullptr);
        for (const Option *option : system.options())
            EXPECT_EQ(stored[0]->value(option->key()), option->value()) << option->key().toStdString();
        EXPECT_EQ(stored[0]->value("system.desktop.background.picture"),
                  KivDesktopBackground::Background::image(
                      QUrl::fromLocalFile(DefaultDesktopPicture::path("tapestrel1.jpg")))
                      .rawValue());
    }

    // A profile picked by its name; the first apply keeps the settings from before as a profile.
    const TestSupport::ProcessRun applied = tapestrel({"apply", "Midnight"});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    EXPECT_EQ(Platform::UserDefaults::global().string("AppleInterfaceStyle"), "Dark");
    const TestSupport::ProcessRun after = tapestrel({"list"});
    EXPECT_TRUE(after.out.contains("\tFirst Profile\n")) << after.out.toStdString();
    // Still the program the first command started: it never opened its main window.
    EXPECT_EQ(programPid(), pid);
}

// Scripts read a command's output through a pipe, which stays open while any process holds it: the
// program a command starts must not, or the script waits for as long as that program runs.
TEST_F(FreshHomeProgramTest, CommandsThatStartTheProgramReturnThroughPipes)
{
    environment.insert("TAPESTREL", program);
    const struct
    {
        const char *line;
        QString printed;
    } scripts[] = {
        {R"(ids=$("$TAPESTREL" list) && printf '%s\n' "$ids")", "\tMidnight\n"},
        {R"("$TAPESTREL" list | cat)", "\tMidnight\n"},
        {R"("$TAPESTREL" create Piped | cat)", "\tPiped\n"},
    };
    for (const auto &[line, printed] : scripts) {
        SCOPED_TRACE(line);
        if (const qint64 earlier = programPid()) {
            ::kill(pid_t(earlier), SIGKILL);
            ASSERT_TRUE(TestSupport::waitUntil([&] { return programPid() == 0; }, 10s));
        }
        QElapsedTimer clock;
        clock.start();
        const TestSupport::ProcessRun run =
            TestSupport::runProcess("/bin/sh", {"-c", line}, environment, 30s);
        EXPECT_EQ(run.exitCode, 0) << "still waiting after " << clock.elapsed() << " ms";
        EXPECT_TRUE(run.out.contains(printed)) << run.out.toStdString() << run.err.toStdString();
        const qint64 started = programPid();
        EXPECT_NE(started, 0);
        EXPECT_EQ(::kill(pid_t(started), 0), 0) << "the started program goes on running";
    }
}

// A program that ends before it is on the bus is reported as soon as it ends, with the end of what it
// wrote, whatever that is and wherever its log had to go.
TEST_F(FreshHomeProgramTest, AStartedProgramThatEndsAtOnceIsReportedAtOnceWithTheEndOfItsLog)
{
    QTemporaryDir temporary;
    environment.insert("TMPDIR", temporary.path());
    // Qt's own message, from before the program could say anything, repeats the platform's name.
    environment.insert("QT_QPA_PLATFORM", u"missing\x1b[0m\x07"_s);
    home.writeFile("not-a-folder", "");
    const QString runtimeFolders[] = {home.filePath("missing"), home.filePath("not-a-folder")};
    for (const QString &runtime : runtimeFolders) {
        SCOPED_TRACE(runtime.toStdString());
        environment.insert("XDG_RUNTIME_DIR", runtime);
        QElapsedTimer clock;
        clock.start();
        const TestSupport::ProcessRun run = tapestrel({"list"});
        EXPECT_LT(clock.elapsed(), 10000);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err,
                  R"(tapestrel: Tapestrel ended before it could answer: Tapestrel could not open a display: )"
                  R"(Could not find the Qt platform plugin "missing\u001b[0m\u0007" in "")"
                  "\n");
        EXPECT_FALSE(run.err.contains(u"\x1b"_s));
        EXPECT_TRUE(QDir(temporary.path()).entryList({"tapestrel-start-*"}, QDir::Files).isEmpty())
            << "the log is removed";
    }
}

// The program itself, where it can open no display, says why in one line and exits with 1.
TEST_F(FreshHomeProgramTest, AProgramWithoutADisplaySaysSoInOneLine)
{
    const struct
    {
        const char *name;
        QList<std::pair<QString, QString>> environment;
        QStringList arguments;
        QString said;
    } rows[] = {
        {"no display named", {}, {}, "could not connect to display"},
        {"a display that does not answer",
         {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":7777"}},
         {"--no-window"},
         "could not connect to display :7777"},
        {"no compositor",
         {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "tapestrel-none"}},
         {},
         "Failed to create wl_display (No such file or directory)"},
        {"a Wayland session without a runtime folder",
         {{"XDG_SESSION_TYPE", "wayland"}, {"XDG_RUNTIME_DIR", {}}, {"TMPDIR", "temporary"}},
         {},
         "Failed to create wl_display (No such file or directory)"},
        {"no such platform",
         {{"QT_QPA_PLATFORM", "none"}},
         {},
         R"(Could not find the Qt platform plugin "none" in "")"},
    };
    for (const auto &[name, variables, arguments, said] : rows) {
        SCOPED_TRACE(name);
        QProcessEnvironment without = environment;
        for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE",
                                     "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP"})
            without.remove(variable);
        // A variable without a value is left out; folders are made in the test's home.
        for (const auto &[variable, value] : variables) {
            if (value.isNull())
                without.remove(variable);
            else if (variable == "TMPDIR" && QDir(home.path()).mkpath(value))
                without.insert(variable, home.filePath(value));
            else
                without.insert(variable, value);
        }
        const TestSupport::ProcessRun run = TestSupport::runProcess(program, arguments, without);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "tapestrel: Tapestrel could not open a display: " + said + "\n")
            << run.err.toStdString();
    }
    EXPECT_EQ(programPid(), 0);
}

namespace {

// The real program, without its window, whose reading of the settings is slow (every run of the
// defaults tool takes a while, and leaves a mark that it ran), started with SIGHUP and SIGINT ignored
// as `nohup` and a shell's background job start it; and a profile whose picture takes long to decode.
class ProgramEndingTest : public AutomationTests::RunningProgramTest
{
protected:
    void prepareHome() override
    {
        const QByteArray tool =
            QFile::encodeName(QCoreApplication::applicationDirPath() + "/tapestrel-defaults");
        home.writeFile("slow-defaults",
                       "#!/bin/sh\n: > '" + QFile::encodeName(home.filePath("read"))
                           + "'\n/bin/sleep 0.2\nexec '" + tool + "' \"$@\"\n");
        QFile::setPermissions(home.filePath("slow-defaults"), QFile::ReadOwner | QFile::ExeOwner);
        environment.insert("TAPESTREL_DEFAULTS_TOOL", home.filePath("slow-defaults"));
        environment.insert("TAPESTREL_PICTURE_TOOL", qEnvironmentVariable("TAPESTREL_PICTURE_TOOL"));
        QImage image(64, 36, QImage::Format_RGB32);
        image.fill(Qt::darkRed);
        ASSERT_TRUE(image.save(home.filePath("Pictures/Slow.png")));
        ModelContainer store(KivUtilities::DataPath::path() + QStringLiteral("/data.sqlite"));
        Option *picture = store.mainContext()
                              ->insert(std::make_unique<Profile>("Slow picture"))
                              ->findOrCreateOption("system.desktop.background.picture");
        picture->setValue(
            KivDesktopBackground::Background::image(QUrl::fromLocalFile(home.filePath("Pictures/Slow.png")))
                .rawValue());
        picture->setEnabled(true);
        store.mainContext()->save();
        running.setArguments({CommandLineClient::noWindowOption});
        running.setChildProcessModifier([] {
            ::signal(SIGHUP, SIG_IGN);
            ::signal(SIGINT, SIG_IGN);
        });
    }

    QDBusPendingCall call(const QString &method, const QString &argument) const
    {
        return AutomationTests::scriptCall(bus.connection(), method, {argument});
    }

    // A script's new profile, once the program reads the settings for it.
    QDBusPendingCall createWhileReading(const QString &name) const
    {
        QFile::remove(home.filePath("read"));
        QDBusPendingCall created = call("CreateProfile", name);
        EXPECT_TRUE(TestSupport::waitUntil([&] { return QFileInfo::exists(home.filePath("read")); }, 30s));
        return created;
    }

    // The program has ended as Quit ends it, and answered the script with its profile, which is stored.
    void expectEndedAndStored(const QDBusPendingCall &created, const QString &name)
    {
        ASSERT_TRUE(running.waitForFinished(60000));
        EXPECT_EQ(running.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(running.exitCode(), 0);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return created.isFinished(); }, 10s));
        const QDBusPendingReply<QVariantMap> reply = created;
        EXPECT_EQ(reply.value().value("name").toString(), name) << reply.error().message().toStdString();
        ModelContainer store(KivUtilities::DataPath::path() + QStringLiteral("/data.sqlite"));
        const QList<Profile *> stored =
            store.mainContext()->fetchProfiles(reply.value().value("id").toString());
        ASSERT_EQ(stored.size(), 1);
        EXPECT_EQ(stored[0]->name(), name);
    }

    // The program still runs and answers a script.
    void expectRunning()
    {
        const CommandRun listed = tapestrel({"list"});
        EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString();
        EXPECT_EQ(running.state(), QProcess::Running);
    }

    // `signal` goes to `to` while a script's new profile waits: the program ends, the profile stored.
    void expectEndStoresAWaitingCreate(const QProcess &to, int signal, const QString &name)
    {
        const QDBusPendingCall created = createWhileReading(name);
        TestSupport::sendSignal(to, signal);
        expectEndedAndStored(created, name);
    }

    // The signals the process ignores and those it catches, from its status.
    quint64 signalMask(const char *field) const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(running.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith(field))
                return line.mid(qstrlen(field)).trimmed().toULongLong(nullptr, 16);
        }
        return 0;
    }

    TestSupport::SilentDecoders decoders {home, 60};
};

constexpr quint64 bit(int signal)
{
    return quint64(1) << (signal - 1);
}

} // namespace

// SIGHUP and SIGINT, which the program was started ignoring, leave it running; SIGTERM ends it as Quit
// does: a script's create that waits is finished, stored and answered with its profile, though the
// program ends right after.
TEST_F(ProgramEndingTest, SignalsStartedIgnoredStayIgnoredAndAnEndAnswersAWaitingCreate)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    for (const int ignored : {SIGHUP, SIGINT}) {
        EXPECT_EQ(signalMask("SigIgn:") & bit(ignored), bit(ignored));
        EXPECT_EQ(signalMask("SigCgt:") & bit(ignored), 0u);
        TestSupport::sendSignal(running, ignored);
    }
    EXPECT_EQ(signalMask("SigCgt:") & bit(SIGTERM), bit(SIGTERM));
    expectRunning();
    expectEndStoresAWaitingCreate(running, SIGTERM, "Kept at the end");
}

// The end waits for no apply: one that decodes a slow picture (for a minute) is ended with its
// decoding process and told so, and the program is gone long before the picture would be.
TEST_F(ProgramEndingTest, AnEndEndsAnApplyAndItsDecodingProcessAtOnce)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    const QDBusPendingCall applied = call("ApplyProfile", "Slow picture");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return decoders.started() > 0; }, 30s));
    TestSupport::spinEventLoop(2s);
    ASSERT_FALSE(applied.isFinished());
    QElapsedTimer clock;
    clock.start();
    TestSupport::sendSignal(running, SIGTERM);
    ASSERT_TRUE(running.waitForFinished(30000));
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_EQ(running.exitCode(), 0);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return applied.isFinished(); }, 10s));
    EXPECT_EQ(applied.error().name(), AutomationService::failedError);
    EXPECT_EQ(applied.error().message(), AutomationService::endedText());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return decoders.runningNow() == 0; }, 10s));
}

// The session ends while `tapestrel apply` waits for a slow apply: the command's bus goes away, and
// it says so within seconds rather than waiting for an answer that can no longer come.
TEST_F(ProgramEndingTest, TheCommandLineEndsWithAnErrorWhenItsBusGoesAway)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    QProcess command;
    command.setProcessEnvironment(environment);
    command.start(program, {"apply", "Slow picture"});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return decoders.started() > 0; }, 30s));
    QElapsedTimer clock;
    clock.start();
    bus.stop();
    ASSERT_TRUE(command.waitForFinished(30000));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(command.exitCode(), 1);
    EXPECT_EQ(command.readAllStandardError(),
              "tapestrel: The session bus went away before Tapestrel answered; the request may not have "
              "been carried out.\n");
    // The program ends with the session too, as Quit ends it.
    EXPECT_TRUE(running.waitForFinished(30000));
    EXPECT_EQ(running.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(running.exitCode(), 0);
}

namespace {

// The same program whose decoding processes write terminal control sequences on their standard error
// without end, while they answer each picture (a stand-in), and whose own standard error is a pipe that
// nobody reads, as that of a launcher which reads only once the program has ended.
class FloodingDecoderProgramTest : public ProgramEndingTest
{
protected:
    void prepareHome() override
    {
        ProgramEndingTest::prepareHome();
        home.writeFile(
            "flooding",
            "#!/bin/sh\nexec '"
                + QFile::encodeName(QCoreApplication::applicationDirPath() + "/lying-picture-process")
                + "' flooding \"$@\"\n");
        QFile::setPermissions(home.filePath("flooding"), QFile::ReadOwner | QFile::ExeOwner);
        environment.insert("TAPESTREL_PICTURE_TOOL", home.filePath("flooding"));
        ASSERT_EQ(::pipe2(m_unread, O_CLOEXEC), 0);
        running.setChildProcessModifier([unread = m_unread[1]] {
            ::signal(SIGHUP, SIG_IGN);
            ::signal(SIGINT, SIG_IGN);
            ::dup2(unread, STDERR_FILENO);
        });
    }
    ~FloodingDecoderProgramTest() override
    {
        for (const int end : m_unread)
            ::close(end);
    }

    int m_unread[2] = {-1, -1};
};

} // namespace

// What a decoding process writes holds nothing of the program: while one writes without end, the
// program answers within half a second, applies again, and ends at SIGTERM.
TEST_F(FloodingDecoderProgramTest, ADecoderWritingWithoutEndHoldsNothingOfTheProgram)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    const auto applied = [this] {
        const QDBusPendingCall applying = call("ApplyProfile", "Slow picture");
        return TestSupport::waitUntil([&applying] { return applying.isFinished(); }, 30s)
            && !applying.isError();
    };
    EXPECT_TRUE(applied());
    // The quickest of a few answers, as a busy machine may hold one of them back: a program held by its
    // standard error gives none.
    QElapsedTimer clock;
    qint64 quickest = 60000;
    for (int i = 0; i < 5; ++i) {
        clock.start();
        const QDBusPendingCall listed = AutomationTests::scriptCall(bus.connection(), "ListProfiles", {});
        if (TestSupport::waitUntil([&listed] { return listed.isFinished(); }, 10s))
            quickest = std::min(quickest, clock.elapsed());
        TestSupport::spinEventLoop(100ms);
    }
    EXPECT_LT(quickest, 500);
    EXPECT_TRUE(applied());
    clock.start();
    TestSupport::sendSignal(running, SIGTERM);
    ASSERT_TRUE(running.waitForFinished(30000));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(running.exitCode(), 0);
}

namespace {

// The same program as a client of a real X session manager (xsm) on the tests' display.
class X11SessionManagerTest : public ProgramEndingTest
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs the xcb platform";
        if (!TestSupport::XSessionManager::isInstalled())
            GTEST_SKIP() << "no xsm (x11-session-utils)";
        ProgramEndingTest::SetUp();
    }

    void prepareHome() override
    {
        ProgramEndingTest::prepareHome();
        ASSERT_TRUE(manager.start(home.filePath("session"), QProcessEnvironment::systemEnvironment()))
            << manager.process.readAll().toStdString();
        manager.addTo(environment);
    }

    TestSupport::XSessionManager manager;
};

} // namespace

// A checkpoint of the session leaves the program running; the session's end (a save, then the "die")
// ends it as Quit does, with the profile a script asked for stored and answered.
TEST_F(X11SessionManagerTest, ACheckpointLeavesTheProgramRunningAndTheSessionsEndEndsIt)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    TestSupport::sendSignal(manager.process, SIGUSR1);
    ASSERT_TRUE(manager.savedAll(1)) << manager.said.toStdString();
    expectRunning();
    expectEndStoresAWaitingCreate(manager.process, SIGTERM, "Kept for the session");
}

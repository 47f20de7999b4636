#include "platform/AtomicFile.h"
#include "platform/InterruptedExchanges.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/FileSizeLimit.h"
#include "testsupport/OutsideWriter.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <optional>
#include <tuple>
#include <utility>

using Platform::AtomicFile;
using Platform::InterruptedExchanges;
using Platform::PropertyList;
using Platform::UserDefaults;
using TestSupport::FileSizeLimit;
using TestSupport::OutsideWriter;
using TestSupport::TempHomeTest;
using Step = AtomicFile::EditStep;

using AtomicFileTest = TempHomeTest;

TEST_F(AtomicFileTest, AShortWriteFailsAndKeepsTheOldFileAndValueAndALinkIsWrittenThrough)
{
    const QByteArray old = "the old content\n";
    const QByteArray large(10000, 'x'); // within the buffer a buffered write would use
    home.writeFile("data/file", old);
    const QString path = home.filePath("data/file");
    UserDefaults &defaults = UserDefaults::standard();
    ASSERT_TRUE(defaults.setValue("kept", "old"));
    const QString preferencesFile = "Library/Preferences/com.quorvane.Tapestrel.plist";
    const QByteArray preferences = home.readFile(preferencesFile);
    {
        const FileSizeLimit limit(4096);
        EXPECT_FALSE(defaults.setValue("large", large));
        const auto failure = AtomicFile::replace(path, large);
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->error, QFileDevice::WriteError);
        EXPECT_FALSE(failure->reason.isEmpty());

        // Streamed: the part that fits is written, the next write fails and nothing commits.
        AtomicFile streamed(path);
        ASSERT_TRUE(streamed.open());
        EXPECT_TRUE(streamed.write(large.left(1024)));
        EXPECT_FALSE(streamed.write(large));
        EXPECT_FALSE(streamed.commit());

        // What fits still replaces the file.
        EXPECT_FALSE(AtomicFile::replace(home.filePath("data/small"), "small"));
    }
    EXPECT_EQ(home.readFile("data/file"), old);
    EXPECT_EQ(home.readFile("data/small"), "small");
    EXPECT_EQ(home.readFile(preferencesFile), preferences);
    EXPECT_FALSE(defaults.value("large").isValid());
    EXPECT_EQ(defaults.value("kept").toString(), "old");
    // No temporary file is left behind.
    EXPECT_EQ(QDir(home.filePath("data")).entryList(QDir::Files), QStringList({"file", "small"}));

    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QFile::Permissions permissions = QFile::permissions(path);
    ASSERT_TRUE(QFile::link(QStringLiteral("data/file"), home.filePath("link")));
    EXPECT_FALSE(AtomicFile::replace(home.filePath("link"), large));
    EXPECT_TRUE(QFileInfo(home.filePath("link")).isSymLink());
    EXPECT_EQ(home.readFile("data/file"), large);
    EXPECT_EQ(QFile::permissions(path), permissions);
}

// The preference domain's edit is made again on what another program saved meanwhile (here, in place
// right before the rename, where only the bytes tell); the other moments are AtomicFile's own cases below.
TEST_F(AtomicFileTest, APreferenceWriteKeepsWhatAnotherProgramSavedMeanwhile)
{
    UserDefaults &defaults = UserDefaults::standard();
    const QString path = defaults.filePath();
    const QString file = QStringLiteral("Library/Preferences/com.quorvane.Tapestrel.plist");
    const auto theirs = [](const QString &value) {
        return PropertyList::toBinary(QVariantMap {{"kept", QStringLiteral("old")}, {"theirs", value}});
    };
    home.writeFile(file, theirs("0"));
    {
        OutsideWriter outside(path);
        outside.at(Step::Renaming, 1, [&] { OutsideWriter::writeInPlaceUnseen(path, theirs("1")); });
        EXPECT_TRUE(defaults.setValue("mine", QStringLiteral("a")));
        EXPECT_EQ(outside.count(Step::Replacing), 2);
    }
    EXPECT_EQ(PropertyList::parseDictionary(home.readFile(file)),
              (QVariantMap {{"kept", "old"}, {"theirs", "1"}, {"mine", "a"}}));
    EXPECT_EQ(defaults.value("theirs").toString(), "1");

    OutsideWriter outside(path);
    int count = 1;
    outside.always(Step::Replacing,
                   [&] { OutsideWriter::replaceByRename(path, theirs(QString::number(++count))); });
    QString error;
    EXPECT_FALSE(defaults.setValue("mine", QStringLiteral("b"), &error));
    EXPECT_TRUE(error.contains("kept being changed by another program")) << error.toStdString();
    EXPECT_EQ(PropertyList::parseDictionary(home.readFile(file)),
              (QVariantMap {{"kept", "old"}, {"theirs", QString::number(count)}}));
    EXPECT_FALSE(defaults.value("mine").isValid());
}

namespace {

// The edit a program makes: its line added to whatever the file holds; a missing file stays missing.
AtomicFile::Edit addLine(int *calls = nullptr)
{
    return [calls](const AtomicFile::Content &content) -> std::optional<QByteArray> {
        if (calls)
            ++*calls;
        if (!content.exists)
            return std::nullopt;
        return content.bytes + "theme=Abyss\n";
    };
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// The stopped writer (testsupport/StoppedWriter.cpp): it stops before its commit or at each of `steps`.
pid_t startStoppedWriter(const QString &path, const QByteArray &content, const QStringList &steps = {})
{
    QList<QByteArray> words {QFile::encodeName(QCoreApplication::applicationDirPath() + "/stopped-writer"),
                             QFile::encodeName(path), content};
    for (const QString &step : steps)
        words.append(step.toUtf8());
    std::vector<char *> arguments;
    for (QByteArray &word : words)
        arguments.push_back(word.data());
    arguments.push_back(nullptr);
    pid_t child = 0;
    EXPECT_EQ(::posix_spawn(&child, arguments[0], nullptr, nullptr, arguments.data(), environ), 0);
    return child;
}

bool stoppedAgain(pid_t child)
{
    int status = 0;
    return ::waitpid(child, &status, WUNTRACED) == child && WIFSTOPPED(status);
}

// A writer looking for leftovers in the folder, as another edit in it would (not from within its own
// look): it must take nothing in use.
std::function<void()> lookingIn(const QString &folder)
{
    auto looking = std::make_shared<bool>(false);
    return [folder, looking] {
        if (!std::exchange(*looking, true))
            AtomicFile::finishInterruptedIn(folder);
        *looking = false;
    };
}

} // namespace

TEST_F(AtomicFileTest, AnOutsideSaveBetweenReadAndRenameIsEditedAgainNeverLost)
{
    const QString path = home.filePath("settings");
    struct Case
    {
        const char *name;
        // Before the last check (Replacing) or right before the rename (Renaming).
        Step step;
        std::function<void()> save;
        QByteArray expected;
    };
    const QByteArray theirs = "font=12\nmine=no\n";
    const auto sameSizeAndTime = [&] {
        OutsideWriter::writeInPlaceUnseen(path, "font=13\n");
    };
    const QList<Case> cases {
        {"in place, same size, same time to the nanosecond (only the bytes tell)", Step::Replacing,
         sameSizeAndTime, "font=13\ntheme=Abyss\n"},
        {"in place, grown", Step::Replacing, [&] { OutsideWriter::writeInPlace(path, theirs); },
         theirs + "theme=Abyss\n"},
        {"by rename", Step::Replacing, [&] { OutsideWriter::replaceByRename(path, theirs); },
         theirs + "theme=Abyss\n"},
        {"removed", Step::Replacing, [&] { QFile::remove(path); }, QByteArray()},
        {"in place after the last check", Step::Renaming, [&] { OutsideWriter::writeInPlace(path, theirs); },
         theirs + "theme=Abyss\n"},
        {"in place after the last check, same size and time", Step::Renaming, sameSizeAndTime,
         "font=13\ntheme=Abyss\n"},
        {"by rename after the last check", Step::Renaming,
         [&] { OutsideWriter::replaceByRename(path, theirs); }, theirs + "theme=Abyss\n"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        home.writeFile("settings", "font=12\n");
        OutsideWriter outside(path);
        outside.at(test.step, 1, test.save);
        int calls = 0;
        EXPECT_EQ(AtomicFile::edit(path, 1024, addLine(&calls)), std::nullopt);
        EXPECT_EQ(calls, 2) << "made again on the new content";
        // Before the last check, it is seen there: nothing of theirs is taken out and put back.
        EXPECT_EQ(outside.count(Step::PutBack), test.step == Step::Renaming ? 1 : 0);
        EXPECT_EQ(home.readFile("settings"), test.expected);
        EXPECT_EQ(entries(home.path()), test.expected.isEmpty() ? QStringList() : QStringList {"settings"});
    }

    // A file another program creates where there was none is not replaced by one made from nothing.
    for (const Step step : {Step::Replacing, Step::Renaming}) {
        QFile::remove(path);
        OutsideWriter outside(path);
        outside.at(step, 1, [&] { OutsideWriter::writeInPlace(path, theirs); });
        EXPECT_EQ(AtomicFile::edit(path, 1024,
                                   [](const AtomicFile::Content &content) {
                                       return std::optional<QByteArray>(content.bytes + "created\n");
                                   }),
                  std::nullopt);
        EXPECT_EQ(home.readFile("settings"), theirs + "created\n");
    }
}

TEST_F(AtomicFileTest, AFileThatKeepsChangingOrCannotBeReadIsNotWritten)
{
    const QString path = home.filePath("settings");
    home.writeFile("settings", "font=12\n");
    {
        OutsideWriter outside(path);
        int saves = 0;
        outside.always(Step::Replacing, [&] {
            OutsideWriter::writeInPlace(path, "font=" + QByteArray::number(++saves) + "\n");
        });
        const auto failure = AtomicFile::edit(path, 1024, addLine());
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->reason, "another program changed it each time it was about to be replaced");
        EXPECT_EQ(home.readFile("settings"), "font=" + QByteArray::number(saves) + "\n");
        EXPECT_EQ(entries(home.path()), QStringList {"settings"});
    }

    // An edit that throws writes nothing; nor does one that leaves the content as it is.
    EXPECT_THROW(AtomicFile::edit(path, 1024,
                                  [](const AtomicFile::Content &) -> std::optional<QByteArray> {
                                      throw std::runtime_error("does not parse");
                                  }),
                 std::runtime_error);
    const AtomicFile::Stamp before = AtomicFile::stampOf(path);
    EXPECT_EQ(AtomicFile::edit(path, 1024, [](const AtomicFile::Content &content) { return content.bytes; }),
              std::nullopt);
    EXPECT_EQ(AtomicFile::stampOf(path), before);

    QFile::remove(path);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const auto failure = AtomicFile::edit(path, 1024, addLine());
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->reason, "it is not a regular file");
    EXPECT_TRUE(QFileInfo(path).exists() && !QFileInfo(path).isFile());

    QFile::remove(path);
    for (const QString &target : {path, home.filePath("nowhere/settings")}) {
        ASSERT_TRUE(QFile::link(target, path));
        const auto failure = AtomicFile::edit(path, 1024, addLine());
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->error, QFileDevice::ReadError);
        EXPECT_EQ(failure->reason,
                  target == path ? "Too many levels of symbolic links"
                                 : "it is a link to a file that does not exist");
        EXPECT_TRUE(QFileInfo(path).isSymLink());
        QFile::remove(path);
    }

    // The edit sees one byte more than the limit, so it can tell a file that is too large.
    QFile::remove(path);
    home.writeFile("settings", QByteArray(100, 'x'));
    qsizetype seen = 0;
    EXPECT_EQ(AtomicFile::edit(path, 10,
                               [&seen](const AtomicFile::Content &content) {
                                   seen = content.bytes.size();
                                   return std::optional<QByteArray>();
                               }),
              std::nullopt);
    EXPECT_EQ(seen, 11);
}

TEST_F(AtomicFileTest, AFileSavedInPlaceIsNeverTakenForEmptyWhileItIsBeingSaved)
{
    const QString path = home.filePath("settings");
    const QByteArray large = QByteArray(200000, ' ') + "font=12\n";
    const QByteArray saved = large + "font=13\n";
    const TestSupport::SettleTime settle(std::chrono::milliseconds(300));
    // Unfinished: holding nothing, or its last line has no end.
    const auto unfinished = [](const QByteArray &bytes) {
        return bytes.trimmed().isEmpty() || !bytes.endsWith('\n');
    };
    struct Case
    {
        const char *name;
        QByteArray content; // what the file holds when the edit comes
        int age; // its modification time, in seconds before now (negative: ahead of the clock)
        std::function<void(OutsideWriter &)> script;
        std::optional<QByteArray> expected; // none: the edit fails and the file is as they left it
        int slowest; // the longest the edit may take, in milliseconds
    };
    const QList<Case> cases {
        {"truncated when it is first read, written while the edit waits", large, 0,
         [&](OutsideWriter &outside) {
             outside.at(Step::Reading, 1, [&] { OutsideWriter::truncate(path); });
             outside.at(Step::Reading, 3, [&] { OutsideWriter::writeInPlace(path, saved); });
         },
         saved + "theme=Abyss\n", 1000},
        {"truncated after it was read, written while the edit waits", large, 0,
         [&](OutsideWriter &outside) {
             outside.at(Step::Replacing, 1, [&] { OutsideWriter::truncate(path); });
             outside.at(Step::Reading, 4, [&] { OutsideWriter::writeInPlace(path, saved); });
         },
         saved + "theme=Abyss\n", 1000},
        {"half written, completed while the edit waits", "font=1\nfo", 0,
         [&](OutsideWriter &outside) {
             outside.at(Step::Reading, 3, [&] { OutsideWriter::writeInPlace(path, "font=1\nfont=2\n"); });
         },
         "font=1\nfont=2\ntheme=Abyss\n", 1000},
        {"truncated after it was read and left empty", large, 0,
         [&](OutsideWriter &outside) {
             outside.at(Step::Replacing, 1, [&] { OutsideWriter::truncate(path); });
         },
         std::nullopt, 2000},
        {"emptied 30 s ago: past settling, within the saving window", " \n", 30, {}, std::nullopt, 2000},
        {"emptied and dated a few seconds ahead of the clock: as if now", "", -5, {}, std::nullopt, 2000},
        {"emptied and dated an hour ahead of the clock: long quiet", "", -3600, {}, "theme=Abyss\n", 1000},
        {"written a piece at a time without end", "font=", 0,
         [&](OutsideWriter &outside) {
             auto pieces = std::make_shared<QElapsedTimer>();
             pieces->start();
             outside.always(Step::Reading, [&path, pieces] {
                 if (pieces->elapsed() < 2500)
                     OutsideWriter::writeInPlace(path, "font=" + QByteArray::number(pieces->elapsed()));
             });
         },
         std::nullopt, 1500},
        {"empty for more than a minute: edited at once", " \n", 61, {}, " \ntheme=Abyss\n", 1000},
        {"unfinished for more than a minute: handed to the edit as it is",
         "font=",
         61,
         {},
         "font=theme=Abyss\n",
         1000},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        home.writeFile("settings", test.content);
        OutsideWriter::age(path, test.age);
        OutsideWriter outside(path);
        if (test.script)
            test.script(outside);
        QElapsedTimer clock;
        clock.start();
        const auto failure = AtomicFile::edit(path, 1 << 20, addLine(), unfinished);
        EXPECT_LT(clock.elapsed(), test.slowest);
        if (test.expected) {
            EXPECT_EQ(failure, std::nullopt) << failure->reason.toStdString();
            EXPECT_EQ(home.readFile("settings"), *test.expected);
        } else {
            ASSERT_TRUE(failure.has_value());
            EXPECT_TRUE(
                failure->reason.startsWith("it changed ")
                && failure->reason.endsWith(" seconds ago and another program may still be saving it"))
                << failure->reason.toStdString();
            EXPECT_GE(clock.elapsed(), 300) << "waited for";
            EXPECT_FALSE(home.readFile("settings").contains("theme=Abyss"));
            EXPECT_EQ(entries(home.path()), QStringList {"settings"});
        }
    }
}

TEST_F(AtomicFileTest, AKilledWritersTemporaryFileIsRemovedByTheNextWriteButNoLiveOneNorAnyoneElses)
{
    const QString folder = home.filePath("User");
    home.writeFile("User/settings.json", "{}");
    // What must stay: another program's temporary file, a link of the program's form, one of another user.
    home.writeFile("User/settings.json.Ab12Cd", "theirs");
    ASSERT_TRUE(
        QFile::link(QStringLiteral("settings.json"), home.filePath("User/.x.tapestrel-AAAAAAAA.tmp")));
    const bool root = ::geteuid() == 0;
    if (root) {
        home.writeFile("User/.y.tapestrel-BBBBBBBB.tmp", "someone else's");
        ASSERT_EQ(
            ::chown(QFile::encodeName(home.filePath("User/.y.tapestrel-BBBBBBBB.tmp")).constData(), 1, 1), 0);
        // What a writer run as root on a user's file left: the user's, as that file is, so it goes.
        for (const QString name : {"User/users.json", "User/.users.json.tapestrel-DDDDDDDD.tmp"}) {
            home.writeFile(name, "the user's");
            ASSERT_EQ(::chown(QFile::encodeName(home.filePath(name)).constData(), 1000, 1000), 0);
        }
    }
    home.writeFile("User/.z.tapestrel-CCCCCCCC.tmp", "");

    // A writer stopped between writing its temporary file and renaming it: alive, its file stays.
    const pid_t child = startStoppedWriter(home.filePath("User/settings.json"), "{\"theme\": 1}");
    ASSERT_TRUE(stoppedAgain(child));
    QStringList left = entries(folder);
    left.removeIf([](const QString &name) { return !AtomicFile::isTemporaryFileName(name); });
    ASSERT_EQ(left.size(), root ? 4 : 3);
    left.removeIf([](const QString &name) { return !name.startsWith(".settings.json.tapestrel-"); });
    ASSERT_EQ(left.size(), 1);
    const QString live = left.first();
    EXPECT_EQ(home.readFile("User/" + live), "{\"theme\": 1}");
    EXPECT_FALSE(AtomicFile::replace(home.filePath("User/other.json"), "1"));
    EXPECT_TRUE(entries(folder).contains(live));

    ::kill(child, SIGKILL);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    EXPECT_FALSE(AtomicFile::replace(home.filePath("User/other.json"), "2"));
    QStringList expected {".x.tapestrel-AAAAAAAA.tmp", ".z.tapestrel-CCCCCCCC.tmp", "other.json",
                          "settings.json", "settings.json.Ab12Cd"};
    if (root)
        expected << ".y.tapestrel-BBBBBBBB.tmp"
                 << "users.json";
    expected.sort();
    EXPECT_EQ(entries(folder), expected);
    EXPECT_EQ(home.readFile("User/settings.json"), "{}");

    OutsideWriter::age(home.filePath("User/.z.tapestrel-CCCCCCCC.tmp"), 3600);
    EXPECT_FALSE(AtomicFile::replace(home.filePath("User/other.json"), "3"));
    EXPECT_FALSE(entries(folder).contains(".z.tapestrel-CCCCCCCC.tmp"));
    EXPECT_EQ(home.readFile("User/settings.json"), "{}");
}

// Another program saving twice, fast: its newest save ends in place, older ones are kept beside.
TEST_F(AtomicFileTest, ASaveThatComesWhileAnotherIsPutBackEndsInPlaceAndNoneIsDeleted)
{
    const QString path = home.filePath("settings");
    const QByteArray first = "font=13\n";
    const QByteArray second = "font=14\nsize=2\n";
    // As long as the edit's own new file, "font=12\ntheme=Abyss\n", dated as it is.
    const QByteArray sameSize = "font=15\nsize=3\nab=c\n";
    struct Case
    {
        const char *name;
        std::function<void(OutsideWriter &)> script;
        QByteArray expected; // the file afterwards
        QByteArray kept; // what is kept beside it
        QString failure; // a part of the reason when the edit fails
    };
    const auto rename = [&](const QByteArray &bytes) {
        return [&path, bytes] {
            OutsideWriter::replaceByRename(path, bytes);
        };
    };
    const QString giveUp =
        "another program saved it again each time its save was put back; its newest save is "
        "left in place and this change was not made; the save before it is kept as "
        + path + ".kept";
    const auto lookIn = lookingIn(home.path());
    // A save the moment before the exchange and before each of the first `count` put-backs: as the last
    // put-back has checked what is in place, too.
    const auto racing = [&](int count) {
        return [&, count](OutsideWriter &outside) {
            outside.at(Step::Exchanging, 1, [&] {
                lookIn();
                OutsideWriter::replaceByRename(path, first);
            });
            outside.always(Step::Exchanged, lookIn);
            for (int n = 1; n <= count; ++n)
                outside.at(Step::PuttingBack, n, [&, n] {
                    lookIn();
                    OutsideWriter::replaceByRename(path, "save=" + QByteArray::number(n) + "\n");
                });
            outside.always(Step::PuttingBack, lookIn);
            outside.always(Step::PutBack, lookIn);
        };
    };
    // A save right after each of the first `count` put-backs: the put-back after them takes the newest out.
    const auto again = [&](int count) {
        return [&, count](OutsideWriter &outside) {
            outside.at(Step::Renaming, 1, rename(first));
            outside.at(Step::Exchanged, 1, rename("save=0\n"));
            for (int put = 1; put <= count; ++put)
                outside.at(Step::PutBack, put, rename("save=" + QByteArray::number(put) + "\n"));
        };
    };
    // Their first save by rename right before the edit's, then `action` at `step`.
    const auto twice = [&](Step step, const std::function<void()> &action) {
        return [&, step, action](OutsideWriter &outside) {
            outside.at(Step::Renaming, 1, rename(first));
            outside.at(step, 1, action);
        };
    };
    const QList<Case> cases {
        {"by rename, then by rename while the first is out of place",
         twice(Step::Exchanged, rename(second)),
         second + "theme=Abyss\n",
         first,
         {}},
        {"by rename, then written into the edit's new file",
         twice(Step::Exchanged, [&] { OutsideWriter::writeInPlace(path, second); }),
         second + "theme=Abyss\n",
         first,
         {}},
        {"written into the edit's new file with its size and time (only the bytes tell)",
         twice(Step::Exchanged, [&] { OutsideWriter::writeInPlaceUnseen(path, sameSize); }),
         sameSize + "theme=Abyss\n",
         first,
         {}},
        {"by rename, then by rename right after it was put back",
         twice(Step::PutBack, rename(second)),
         second + "theme=Abyss\n",
         {},
         {}},
        {"six saves in all, five right before the put-backs", racing(5), "save=5\n", "save=4\n", giveUp},
        {"seven saves in all, six right before the put-backs", racing(6), "save=6\n", "save=5\n", giveUp},
        {"again right after each of the first 63 put-backs, up to the bound", again(63), "save=63\n",
         "save=62\n", giveUp},
        {"again at each put-back but the last, which takes the newest out", again(4), "save=4\n", "save=3\n",
         giveUp},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        for (const QString &name : entries(home.path()))
            QFile::remove(home.filePath(name));
        home.writeFile("settings", "font=12\n");
        OutsideWriter::age(path, 10);
        OutsideWriter outside(path);
        test.script(outside);
        const auto failure = AtomicFile::edit(path, 1024, addLine());
        EXPECT_EQ(failure.has_value(), !test.failure.isEmpty());
        if (failure) {
            EXPECT_TRUE(failure->reason.contains(test.failure)) << failure->reason.toStdString();
        }
        EXPECT_EQ(home.readFile("settings"), test.expected);
        const QStringList left =
            test.kept.isEmpty() ? QStringList {"settings"} : QStringList {"settings", "settings.kept"};
        EXPECT_EQ(entries(home.path()), left);
        EXPECT_EQ(home.readFile("settings.kept"), test.kept);
    }

    // Saves without end: the put-backs end too, after 64, the newest in place; a second save kept beside the
    // file never replaces the first (here, that of the last case).
    home.writeFile("settings", "font=12\n");
    OutsideWriter outside(path);
    again(0)(outside);
    int saves = 0;
    outside.always(Step::PutBack, [&] {
        OutsideWriter::replaceByRename(path, "save=" + QByteArray::number(++saves) + "\n");
    });
    const auto failure = AtomicFile::edit(path, 1024, addLine());
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->reason.endsWith("its newest save is left in place and this change was not made; an "
                                         "earlier save is kept as "
                                         + path + ".kept-2"))
        << failure->reason.toStdString();
    EXPECT_EQ(saves, 64);
    EXPECT_EQ(home.readFile("settings"), "save=" + QByteArray::number(saves) + "\n");
    EXPECT_EQ(home.readFile("settings.kept"), "save=3\n");
    EXPECT_EQ(home.readFile("settings.kept-2"), "save=" + QByteArray::number(saves - 1) + "\n");
}

// A writer killed at each step: the next edit or the start puts the other save back.
TEST_F(AtomicFileTest, AnExchangeCutShortIsFinishedByTheNextEditOrTheStart)
{
    const QString folder = home.filePath("Library/Preferences");
    // The longest name a file may have, and what an earlier version named its leftovers by: its start.
    const QString longName = QString(250, QLatin1Char('n')) + ".conf";
    const auto earlierName = [&](const QString &leftover) {
        return "." + longName.left(180) + leftover.mid(leftover.indexOf(".tapestrel-"));
    };
    const bool root = ::geteuid() == 0;
    struct Case
    {
        QString name;
        QString stops; // where the writer stops; it is killed at the last one
        QString saves; // another program's saves by rename: "<stop>:<version>" ("after": after the kill)
        QByteArray inPlace; // the version in place before the next change
        QByteArray kept; // the version kept beside the file, which the next change then names
        QString domain = {}; // a preference domain, written next through UserDefaults
        bool atStart = false; // finished by the start (the first read of any domain), not by the next change
        QString fileName = "settings";
        // Run as root on a user's file (uid 1000): the file and the saves are the user's, and the
        // leftover is given to this uid after the kill.
        uid_t leftoverOwner = 0;
        bool earlierLeftoverName = false; // the leftover bears the name an earlier version gave it
    };
    QList<Case> cases {
        {"before the new file bears its swap name", "renaming", "renaming:S1", "S1", ""},
        {"before the exchange", "exchanging", "exchanging:S1", "S1", ""},
        {"after the exchange that took a save out", "renaming exchanged", "renaming:S1", "S1", "",
         "com.example.cut"},
        {"after the exchange, at the start", "renaming exchanged", "renaming:S1", "S1", "",
         "com.example.start", true},
        {"after the exchange that took the version read out", "exchanged", "", "v0", ""},
        {"after the exchange, saved again after the kill", "renaming exchanged", "renaming:S1 after:S2", "S2",
         "S1", "com.example.cut"},
        {"after the exchange that took the version read out, saved after", "exchanged", "after:S2", "S2", ""},
        {"after a put-back that took the writer's file out", "renaming putback", "renaming:S1", "S1", ""},
        {"after a put-back that took a newer save out", "renaming exchanged putback",
         "renaming:S1 exchanged:S2", "S1", "S2"},
        {"a file of a 255-byte name", "renaming exchanged", "renaming:S1", "S1", "", QString(), false,
         longName},
        {"a file of a 255-byte name, saved again after the kill", "renaming exchanged",
         "renaming:S1 after:S2", "S2", "S1", QString(), false, longName},
        {"a file of a 255-byte name, left by an earlier version", "renaming exchanged", "renaming:S1", "S1",
         "", QString(), false, longName, 0, true},
    };
    if (root) {
        cases.append({"run as root on a user's file", "renaming exchanged", "renaming:S1", "S1", "",
                      QString(), false, "settings", 1000});
        cases.append({"run as root on a user's file, a leftover of someone else", "renaming exchanged",
                      "renaming:S1", "ours", "", QString(), false, "settings", 2000});
    }
    // Domains of long names, ASCII and three bytes a letter, killed at each step: their leftovers bear cut
    // names, and the domain's lock file (named beside it) must not be taken for another file they fit. A
    // short name that holds what a cut name ends in, but not at its end, is its own.
    QStringList domains {"a~0123456789abcdef.b"};
    for (const int bytes : {249, 250, 255}) {
        for (const bool ascii : {true, false}) {
            const int room = bytes - int(sizeof("com.example.") - 1) - int(sizeof(".plist") - 1);
            domains.append("com.example." + QString(room % 3, 'd')
                           + (ascii ? QString(room - room % 3, 'd') : QString(room / 3, QChar(0x20AC))));
        }
    }
    for (const QString &domain : std::as_const(domains)) {
        for (const auto &[stops, saves, inPlace] :
             {std::tuple("renaming", "", "v0"), std::tuple("exchanging", "", "v0"),
              std::tuple("exchanged", "", "v0"), std::tuple("renaming putback", "renaming:S1", "S1")}) {
            cases.append({QStringLiteral("the domain %1 (%2 bytes), killed at %3")
                              .arg(domain.left(24))
                              .arg(QFile::encodeName(domain).size())
                              .arg(stops),
                          stops, saves, inPlace, "", domain});
        }
    }
    for (const Case &test : cases) {
        SCOPED_TRACE(qPrintable(test.name));
        QDir(folder).removeRecursively();
        const QString file =
            "Library/Preferences/" + (test.domain.isEmpty() ? test.fileName : test.domain + ".plist");
        const QString path = home.filePath(file);
        const uid_t owner = test.leftoverOwner ? 1000 : ::geteuid();
        const auto own = [&](const QString &name) {
            ASSERT_EQ(::chown(QFile::encodeName(name).constData(), owner, owner), 0);
        };
        // The writer's version already holds the change the next one makes.
        const auto version = [&test](const QByteArray &name, bool changed = false) -> QByteArray {
            if (test.domain.isEmpty())
                return "version=" + name + "\n" + (changed ? "theme=Abyss\n" : "");
            QVariantMap values {{"version", QString::fromLatin1(name)}};
            if (changed)
                values.insert("theme", "Abyss");
            return PropertyList::toXml(values);
        };
        home.writeFile(file, version("v0"));
        own(path);
        QHash<QString, QByteArray> saves;
        for (const QString &save : test.saves.split(' ', Qt::SkipEmptyParts))
            saves.insert(save.section(':', 0, 0), save.section(':', 1).toLatin1());
        const auto save = [&](const QString &at) {
            OutsideWriter::replaceByRename(path, version(saves.value(at)));
            own(path);
        };
        const QStringList stops = test.stops.split(' ');
        const pid_t writer = startStoppedWriter(path, version("ours", true), stops);
        for (const QString &stop : stops) {
            ASSERT_TRUE(stoppedAgain(writer)) << qPrintable(stop);
            if (saves.contains(stop))
                save(stop);
            if (stop != stops.last())
                ::kill(writer, SIGCONT);
        }
        // Alive, its files are its own to see to.
        const QStringList whileAlive = entries(folder);
        AtomicFile::finishInterruptedIn(folder);
        EXPECT_EQ(entries(folder), whileAlive);
        ::kill(writer, SIGKILL);
        ASSERT_EQ(::waitpid(writer, nullptr, 0), writer);
        if (saves.contains("after"))
            save("after");
        QStringList leftovers = entries(folder).filter(".tapestrel-");
        ASSERT_EQ(leftovers.size(), 1);
        QString leftover = folder + "/" + leftovers.first();
        if (test.earlierLeftoverName) {
            const QString earlier = folder + "/" + earlierName(leftovers.first());
            ASSERT_TRUE(QFile::rename(leftover, earlier));
            leftover = earlier;
        }
        if (test.leftoverOwner) {
            ASSERT_EQ(::chown(QFile::encodeName(leftover).constData(), test.leftoverOwner, owner), 0);
        }

        // Another writer looks in the folder the moment the exchange is finished.
        OutsideWriter outside(path);
        const auto lookIn = lookingIn(folder);
        outside.always(Step::PuttingBack, lookIn);
        // A save in place that is not the cut writer's stays there: it is never put back over.
        const QByteArray before = home.readFile(file);
        outside.always(Step::PutBack, [&] {
            if (before != version("ours", true)) {
                EXPECT_EQ(home.readFile(file), before);
            }
            lookIn();
        });
        QString failure;
        std::optional<TestSupport::CapturedStandardError> printed(std::in_place);
        if (test.atStart) {
            // The start reads some domain, not necessarily this one.
            EXPECT_EQ(UserDefaults::suite("com.example.other")->string("version"), std::nullopt);
        } else if (!test.domain.isEmpty()) {
            UserDefaults::suite(test.domain)->setValue("theme", "Abyss", &failure);
        } else {
            const auto edited = AtomicFile::edit(
                path, 1024, [](const AtomicFile::Content &content) -> std::optional<QByteArray> {
                    if (content.bytes.contains("theme=Abyss"))
                        return std::nullopt;
                    return content.bytes + "theme=Abyss\n";
                });
            failure = edited ? edited->reason : QString();
        }
        // Nothing to say when nothing was kept.
        if (test.kept.isEmpty() && test.leftoverOwner != 2000) {
            EXPECT_EQ(printed->text().toStdString(), "");
        }
        printed.reset();
        const bool changed = test.kept.isEmpty() && !test.atStart;
        const QByteArray now = home.readFile(file);
        if (!test.domain.isEmpty())
            EXPECT_EQ(PropertyList::parseDictionary(now),
                      PropertyList::parseDictionary(version(test.inPlace, changed)));
        else
            EXPECT_EQ(now, version(test.inPlace, changed));
        const QString keptPath = InterruptedExchanges::keptName(path, 1);
        QStringList left {QFileInfo(path).fileName()};
        if (!test.kept.isEmpty())
            left.append(QFileInfo(keptPath).fileName());
        if (!test.domain.isEmpty() && !test.atStart)
            left.append(QFileInfo(InterruptedExchanges::besideName(path, ".lock")).fileName());
        if (test.leftoverOwner == 2000)
            left.append(QFileInfo(leftover).fileName());
        left.sort();
        EXPECT_EQ(entries(folder).join(" | ").toStdString(), left.join(" | ").toStdString());
        if (!test.kept.isEmpty()) {
            EXPECT_EQ(home.readFile(QDir(home.path()).relativeFilePath(keptPath)), version(test.kept));
            EXPECT_TRUE(failure.contains("that save is kept as " + keptPath)) << qPrintable(failure);
        } else {
            EXPECT_EQ(failure, QString());
        }
        EXPECT_EQ(QFileInfo(path).ownerId(), owner);
    }
}

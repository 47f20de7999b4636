#include "KivDesktopBackground/MemoryBudget.h"
#include "KivDesktopBackground/PictureDecoder.h"
#include "KivDesktopBackground/PictureNames.h"
#include "KivDesktopBackground/PictureOrigin.h"
#include "KivDesktopBackground/PictureProtocol.h"
#include "KivDesktopBackground/SpareCanvases.h"
#include "platform/BesideProgram.h"
#include "testsupport/BrokenPictures.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/RunTask.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/SilentDecoders.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>
#include <csignal>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace KivDesktopBackground;
using namespace std::chrono_literals;
namespace Broken = TestSupport::BrokenPictures;

namespace {

class PictureDecoderTest : public TestSupport::TempHomeTest
{
protected:
    QString shown(const QString &name, const QString &reason) const
    {
        return QStringLiteral("The picture “%1” cannot be shown: %2.").arg(home.filePath(name), reason);
    }
    // A shell script of `body` below the home, which may be run; its path.
    QString script(const QString &name, const QByteArray &body) const
    {
        home.writeFile(name, "#!/bin/sh\n" + body);
        QFile::setPermissions(home.filePath(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return home.filePath(name);
    }
};

// The line of a script that runs the stand-in that lies or refuses as `how` says (LyingPictureProcess.cpp).
QByteArray lying(const QByteArray &how)
{
    return "exec '" + QFile::encodeName(QCoreApplication::applicationDirPath() + "/lying-picture-process")
        + "' " + how + "\n";
}

// Bytes of the canvases (files in memory) this process holds open.
qint64 heldCanvasBytes()
{
    qint64 bytes = 0;
    for (const QFileInfo &entry :
         QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.symLinkTarget().startsWith("/memfd:picture"))
            bytes += QFileInfo(entry.filePath()).size();
    }
    return bytes;
}

// Whether the process is gone, or left only for its parent to reap.
bool gone(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = status.readAll();
    return line.mid(line.lastIndexOf(") ") + 2).startsWith('Z');
}

// A canvas of `bytes` as the program makes one for a decoding process.
Canvas canvasOf(size_t bytes)
{
    return Canvas::make(bytes, 1).value_or(Canvas {});
}

} // namespace

TEST_F(PictureDecoderTest, PicturesThatDoNotDecodeSayWhyAndNoneIsWaitedOn)
{
    const QString pipe = home.filePath("Pictures/pipe.png");
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
    ASSERT_TRUE(TestSupport::HostileFiles::makeLinkLoop(home.filePath("Pictures/loop.png")));
    const QByteArray bitmap = Broken::picture(QSize(64, 36), Qt::darkGreen, "bmp");
    const QByteArray targa = Broken::tga(QSize(64, 36), Qt::darkGreen, 24);
    const QString damaged = "its data is damaged or incomplete";
    const QString cannotRead = "it is a kind of %1 picture the program cannot read";
    const struct
    {
        const char *name;
        QByteArray bytes; // nothing: made above
        QString reason;
    } cases[] = {
        {"pipe.png", {}, "it is not a regular file"},
        {"loop.png", {}, "Too many levels of symbolic links"},
        {"notes.png", "not an image", "it is not a picture the program can read"},
        {"cut.png", Broken::cutPng(60), damaged},
        {"corrupt.png", Broken::corruptPng(), damaged},
        {"claims.png", Broken::pngClaiming(QSize(640, 360)), damaged},
        {"claims.bmp", Broken::bmpClaiming(QSize(16000, 16000)),
         "it is incomplete: its header promises 768000054 bytes, the file holds 64"},
        {"cut.bmp", bitmap.chopped(1),
         QStringLiteral("it is incomplete: its header promises %1 bytes, the file holds %2")
             .arg(bitmap.size())
             .arg(bitmap.size() - 1)},
        {"boundless.bmp", Broken::bmpClaiming(QSize(2147483647, 2147483647)),
         "it is too large to be shown (2147483647 × 2147483647 pixels)"},
        {"cut.jpg", Broken::cutJpeg(), damaged},
        {"corrupt.jpg", Broken::corruptJpeg(), damaged},
        // Drawn over 8 × 8 it would take 8 × 800,000,000 pixels: never squashed into 8 × 8 instead.
        {"thin.svg",
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1\" "
         "height=\"100000000\"><rect width=\"1\" height=\"100000000\"/></svg>",
         "its shape (1 × 100000000 pixels) cannot fill a screen of 8 × 8 pixels without "
         "being drawn larger than any picture may be"},
        // Cut short where its decoder would show what it has as if whole; whole, of kinds no decoder
        // reads (a TGA without the footer of the format's second version among them).
        {"cut.gif", Broken::gif(QSize(64, 36), Qt::darkGreen, 200), damaged},
        {"cut.xbm", Broken::picture(QSize(64, 36), Qt::black, "xbm").chopped(100), damaged},
        {"cut.svg", Broken::svgWithUse(QSize(16, 9), Qt::blue, "part", Qt::red).chopped(8), damaged},
        {"fields.bmp", Broken::bitFieldBmp(QSize(64, 36), Qt::darkGreen), cannotRead.arg("BMP")},
        {"cut.tga", targa.left(targa.size() / 2), damaged},
        {"five-bits.tga", Broken::tga(QSize(64, 36), Qt::darkGreen, 16), cannotRead.arg("TGA")},
        {"first.tga", targa.chopped(26), cannotRead.arg("TGA")},
    };
    const auto decode = [this](const QString &name) {
        return PictureDecoder::shared().covering(QUrl::fromLocalFile(home.filePath("Pictures/" + name)),
                                                 {QSize(8, 8)});
    };
    for (const auto &[name, bytes, reason] : cases) {
        SCOPED_TRACE(name);
        if (!bytes.isNull())
            home.writeFile(QStringLiteral("Pictures/") + name, bytes);
        PictureDecoder::Decoded decoded;
        EXPECT_LT(TestSupport::timeWithPipes({pipe}, [&] { decoded = decode(name); }), 1s);
        EXPECT_TRUE(decoded.image.isNull());
        EXPECT_EQ(decoded.failure, shown(QStringLiteral("Pictures/") + name, reason));
    }
    EXPECT_EQ(decode("missing.png").failure,
              "The picture “" + home.filePath("Pictures/missing.png") + "” cannot be found.");
    // A copy that notes where it came from is named by that file.
    home.writeFile("Pictures/copy.png", Broken::corruptPng());
    PictureOrigin::recordOrigin(home.filePath("Pictures/copy.png"), home.filePath("Pictures/Holiday.png"));
    EXPECT_EQ(decode("copy.png").failure, shown("Pictures/Holiday.png", damaged));
    EXPECT_EQ(PictureDecoder::shared().covering(QUrl("https://example.com/a.png"), {}).failure,
              "The picture “https://example.com/a.png” is not a file.");
    EXPECT_EQ(PictureDecoder::shared().fitting(home.filePath("Pictures/cut.jpg"), 8).failure,
              shown("Pictures/cut.jpg", damaged));
}

// A decode that outgrows the process's memory, outlasts its time, whose process dies or answers
// nonsense, or that a later one takes the place of, is ended with its process, at once and naming why.
TEST_F(PictureDecoderTest, LimitsEndADecodeAndNameWhy)
{
    home.writeFile("Pictures/picture.png", Broken::picture(QSize(8, 8), Qt::red));
    home.writeFile("Pictures/texts.png", Broken::pngWithTexts(100));
    // Stand-ins for the decoding process; each notes its process id first.
    const auto standIn = [this](const char *name, const QByteArray &then) {
        return script(name, "echo $$ > '" + QFile::encodeName(home.filePath("pid")) + "'\n" + then);
    };
    const QString silent = standIn("silent", "exec sleep 30\n");
    const QString dying = standIn("dying", "exit 3\n");
    const QString talking = standIn("talking", "printf '%064d' 0 >&0\nexec sleep 30\n");
    // Pictures on canvases that the program did not make, or that are too small; canvases past the
    // process's memory, or more of them than a picture needs.
    const auto liar = [&](const char *how) {
        return standIn(how, lying(how));
    };
    const PictureDecoder::Limits quick {qint64(1) << 30, 500ms};
    const PictureDecoder::Limits small {qint64(256) << 20, 20s};
    const char *const picture = "Pictures/picture.png";
    const QString unusable = "decoding it gave an answer that cannot be used";
    struct Case
    {
        QString tool; // empty: the program's own
        PictureDecoder::Limits limits;
        bool endedEarly;
        const char *picture;
        QString reason;
        int preview = 0; // the longer side of a preview asked for; 0: a picture covering 8 × 8
    };
    const Case cases[] = {
        {silent, quick, false, picture, "decoding it takes more than 0.5 seconds"},
        {silent, small, true, picture, "decoding it was ended"},
        {dying, small, false, picture, "decoding it stopped unexpectedly"},
        {talking, small, false, picture, unusable},
        {liar("foreign"), small, false, picture, unusable},
        {liar("greedy"), small, false, picture, "decoding it needs more than 256 MiB of memory"},
        {liar("many"), small, false, picture, unusable},
        {liar("small"), small, false, picture, unusable},
        {liar("large"), small, false, picture, unusable, 4},
        {home.filePath("missing"), small, false, picture,
         "the program that decodes pictures cannot be started (" + home.filePath("missing")
             + ": No such file or directory)"},
        {{}, small, false, "Pictures/texts.png", "decoding it needs more than 256 MiB of memory"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.reason.toStdString());
        QFile::remove(home.filePath("pid"));
        const TestSupport::ScopedVariable tool(
            "TAPESTREL_PICTURE_TOOL", test.tool.isEmpty() ? QByteArray() : QFile::encodeName(test.tool));
        PictureDecoder decoder(test.limits);
        const PictureDecoder::Ending ending = std::make_shared<std::atomic<bool>>(false);
        std::thread later([&] {
            std::this_thread::sleep_for(200ms);
            *ending = test.endedEarly;
        });
        const auto decode = [&](const PictureDecoder::Ending &until) {
            return test.preview > 0
                ? decoder.fitting(home.filePath(test.picture), test.preview, until)
                : decoder.covering(QUrl::fromLocalFile(home.filePath(test.picture)), {QSize(8, 8)}, until);
        };
        QElapsedTimer clock;
        clock.start();
        const PictureDecoder::Decoded decoded = decode(ending);
        later.join();
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(decoded.failure, shown(test.picture, test.reason));
        // The stand-in's process is gone (reaped, too: its id names no process).
        const int pid = home.readFile("pid").trimmed().toInt();
        EXPECT_TRUE(pid == 0 || (::kill(pid, 0) != 0 && errno == ESRCH)) << pid;
        // Only a need for more memory is the file's to be remembered for: asked again, any other picture
        // is decoded again.
        if (pid != 0 && !test.endedEarly) {
            QFile::remove(home.filePath("pid"));
            decode({});
            EXPECT_EQ(QFile::exists(home.filePath("pid")),
                      test.reason != PictureNames::memoryReason(test.limits.memoryBytes));
        }
    }
}

// A picture the process refused is answered at once while its file stays as it is and the same size is
// asked of it: neither decoded again nor costing a process. A file changed since in any way (its size,
// its time, its bytes rewritten in place with its time set back) is tried again, and so is another size
// asked of it. The oldest refusals are forgotten past the thousandth.
TEST_F(PictureDecoderTest, ARefusalIsRememberedForTheFileAsItIs)
{
    const QString picture = home.filePath("Pictures/picture.png");
    // The processes started, and the pictures each was asked for.
    const auto asked = [this] {
        return home.readFile("asked").split('\n').count() - 1;
    };
    const auto started = [this] {
        QList<QByteArray> pids = home.readFile("asked").split('\n');
        std::sort(pids.begin(), pids.end());
        return std::unique(pids.begin(), pids.end()) - pids.begin() - 1;
    };
    const auto standIn = [&](const char *how) {
        home.writeFile("asked", "");
        return std::make_unique<TestSupport::ScopedVariable>(
            "TAPESTREL_PICTURE_TOOL",
            QFile::encodeName(
                script("refusing",
                       lying(QByteArray(how) + " '" + QFile::encodeName(home.filePath("asked")) + "'"))));
    };
    const auto changeTime = [&picture] {
        struct stat status
        {
        };
        ::stat(QFile::encodeName(picture).constData(), &status);
        return std::pair(status.st_ctim.tv_sec, status.st_ctim.tv_nsec);
    };
    // Writes the picture, anew or in place, and sets its modification time (whole seconds, which the
    // file system keeps as they are).
    const auto write = [&](const QByteArray &bytes, qint64 modified, bool inPlace = false) {
        if (!inPlace)
            home.writeFile("Pictures/picture.png", bytes);
        QFile file(picture);
        const timespec times[] = {{0, UTIME_OMIT}, {time_t(modified), 0}};
        return file.open(QIODevice::ReadWrite)
            && (!inPlace || (file.write(bytes) == bytes.size() && file.flush()))
            && ::futimens(file.handle(), times) == 0;
    };
    const std::tuple<const char *, QString, bool> cases[] = {
        {"refusing", "it is refused", true},
        {"refusing-and-ending", "it is refused", false},
        {"out-of-memory", "decoding it needs more than 1 GiB of memory", false},
    };
    for (const auto &[how, reason, stays] : cases) {
        SCOPED_TRACE(how);
        const auto tool = standIn(how);
        const QString refused = shown("Pictures/picture.png", reason);
        PictureDecoder decoder;
        const auto decode = [&](QSize size = QSize(8, 8)) {
            return decoder.covering(QUrl::fromLocalFile(picture), {size}).failure;
        };
        const qint64 time = QDateTime::currentSecsSinceEpoch() - 60;
        ASSERT_TRUE(write("first", time));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(decode(), refused);
        EXPECT_EQ(asked(), 1);
        // Another size at the same time; then the same size at another.
        ASSERT_TRUE(write("second", time));
        EXPECT_EQ(decode(), refused);
        EXPECT_EQ(decode(), refused);
        EXPECT_EQ(asked(), 2);
        // Early in a second, so that the rewrite below most likely changes the file within it: then only
        // the nanoseconds of its change time tell.
        while (QDateTime::currentMSecsSinceEpoch() % 1000 > 300)
            std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(write("second", time + 1));
        EXPECT_EQ(decode(), refused);
        EXPECT_EQ(asked(), 3);
        // Rewritten in place, its time set back: only its change time (to the nanosecond) tells. The
        // system keeps that time in steps of a few milliseconds: rewritten until it tells.
        for (const auto before = changeTime(); changeTime() == before;)
            ASSERT_TRUE(write("SECOND", time + 1, true));
        EXPECT_EQ(decode(), refused);
        EXPECT_EQ(decode(), refused);
        EXPECT_EQ(asked(), 4);
        // Another size asked of it, and a preview.
        EXPECT_EQ(decode(QSize(16, 9)), refused);
        EXPECT_EQ(decoder.fitting(picture, 8).failure, refused);
        EXPECT_EQ(decoder.fitting(picture, 8).failure, refused);
        EXPECT_EQ(asked(), 6);
        EXPECT_EQ(started(), stays ? 1 : 6);
    }

    const auto tool = standIn("refusing");
    PictureDecoder decoder;
    const auto decode = [&decoder, this](int number) {
        return decoder.covering(
            QUrl::fromLocalFile(home.filePath(QStringLiteral("Pictures/%1.png").arg(number))), {QSize(8, 8)});
    };
    for (int number = 1; number <= 1001; ++number)
        home.writeFile(QStringLiteral("Pictures/%1.png").arg(number), "refused");
    for (int number = 1; number <= 1000; ++number)
        decode(number);
    decode(1);
    EXPECT_EQ(asked(), 1000);
    decode(1001);
    decode(2);
    EXPECT_EQ(asked(), 1001);
    decode(1);
    EXPECT_EQ(asked(), 1002);
}

// The decoding process gets what decoding needs of the program's environment and nothing that reaches
// the desktop; and a decoder is run only from where the program is or names it, never looked up.
TEST_F(PictureDecoderTest, TheDecodingProcessHasAnEnvironmentOfItsOwnAndIsNeverSearchedFor)
{
    home.writeFile("Pictures/picture.png", Broken::picture(QSize(8, 8), Qt::red));
    const QString dumping = script("dumping",
                                   "/usr/bin/env > '" + QFile::encodeName(home.filePath("environment"))
                                       + "'\nexec /bin/sleep 30\n");
    script("bin/tapestrel-on-path", {});
    const std::pair<const char *, bool> variables[] = {
        {"DISPLAY", false},
        {"WAYLAND_DISPLAY", false},
        {"DBUS_SESSION_BUS_ADDRESS", false},
        {"XAUTHORITY", false},
        {"HOME", true},
        {"PATH", false},
        {"XDG_RUNTIME_DIR", false},
        {"QT_PLUGIN_PATH", false},
        {"LANG", true},
        {"LC_TIME", true},
        {"UBSAN_OPTIONS", true},
        {"XDG_DATA_HOME", true},
        {"XDG_CACHE_HOME", true},
    };
    std::vector<std::unique_ptr<TestSupport::ScopedVariable>> set;
    for (const auto &[name, passed] : variables)
        set.push_back(std::make_unique<TestSupport::ScopedVariable>(
            name,
            name == QByteArray("PATH")       ? QFile::encodeName(home.filePath("bin")) + ":."
                : name == QByteArray("HOME") ? "/x-HOME"
                                             : "x-" + QByteArray(name)));
    const TestSupport::ScopedVariable tool("TAPESTREL_PICTURE_TOOL", QFile::encodeName(dumping));
    PictureDecoder decoder({qint64(1) << 30, 500ms});
    decoder.covering(QUrl::fromLocalFile(home.filePath("Pictures/picture.png")), {QSize(8, 8)});
    const QList<QByteArray> environment = home.readFile("environment").split('\n');
    EXPECT_TRUE(environment.contains("QT_QPA_PLATFORM=offscreen"));
    for (const auto &[name, passed] : variables) {
        const bool found =
            std::any_of(environment.cbegin(), environment.cend(), [name = name](const QByteArray &line) {
                return line.startsWith(QByteArray(name) + '=');
            });
        EXPECT_EQ(found, passed) << name;
    }

    const QString folder = QDir::currentPath();
    QDir::setCurrent(home.filePath("bin"));
    EXPECT_EQ(Platform::besideProgram("tapestrel-on-path", "TAPESTREL_NO_SUCH_TOOL"), QString());
    QDir::setCurrent(folder);
}

// What the kernel let the decoding process go without is told once in the program's log, naming it.
TEST_F(PictureDecoderTest, AProcessTheKernelCouldNotConfineIsToldOfOnceInTheLog)
{
    home.writeFile("Pictures/picture.png", Broken::picture(QSize(8, 8), Qt::red));
    const QString lacks = "Tapestrel: the kernel cannot confine the picture decoding process (it lacks %1); "
                          "pictures are decoded without that protection.";
    const std::pair<const char *, QString> cases[] = {
        {"0", {}},
        {"1", lacks.arg("no_new_privs")},
        {"2", lacks.arg("Landlock")},
        {"4", lacks.arg("seccomp")},
        {"8", lacks.arg("user namespaces")},
        {"15", lacks.arg("no_new_privs, Landlock, seccomp, user namespaces")},
    };
    for (const auto &[bits, line] : cases) {
        SCOPED_TRACE(bits);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TAPESTREL_PICTURE_TOOL",
                           script("unconfined", lying("unconfined " + QByteArray(bits))));
        program.setProcessEnvironment(environment);
        program.start(QCoreApplication::applicationDirPath() + "/decoding-program",
                      {home.filePath("Pictures/picture.png"), "twice"});
        ASSERT_TRUE(program.waitForFinished(20000));
        QStringList told;
        for (const QString &said : QString::fromLocal8Bit(program.readAllStandardError()).split('\n')) {
            if (said.startsWith("Tapestrel:"))
                told.append(said);
        }
        EXPECT_EQ(told, line.isEmpty() ? QStringList() : QStringList {line});
    }
}

// What a decoding process writes (here without end, in terminal control sequences) reaches the
// program's standard error as untrusted output: within the bound for each process, its control
// characters visible, then a line saying how much more was left out. The program never waits on its
// standard error for it: not where that is a pipe nobody reads (the program's own messages still go
// through), nor where its reader went away (the program is not ended by the broken pipe, and the
// process, whose output is still read, is not either).
TEST_F(PictureDecoderTest, ADecodersOutputIsPassedOnBoundedVisiblyAndNeverWaitedFor)
{
    home.writeFile("Pictures/picture.png", Broken::picture(QSize(8, 8), Qt::red));
    const TestSupport::ScopedVariable tool("TAPESTREL_PICTURE_TOOL",
                                           QFile::encodeName(script("flooding", lying("flooding"))));
    const QByteArray visible = "flood \\u001b]0;flooded\\u0007\\u001b[2J\\u001b]52;c;Zmxvb2Q=\\u0007"
                               "\\u001b[31mred\\rover\\u202e!\n";
    const QRegularExpression leftOut(
        "\nTapestrel: the picture decoding process wrote \\d+ bytes more, which were left out.\n");
    // The program's standard error, and how many decodes it sees.
    enum Error { file, unreadPipe, unreadSocket, pipeReaderGone };
    const std::pair<Error, int> cases[] = {
        {file, 3}, {unreadPipe, 3}, {unreadSocket, 8}, {pipeReaderGone, 3}};
    for (const auto &[error, decodes] : cases) {
        SCOPED_TRACE(error);
        // The program's end at 1, the test's at 0.
        int ends[2];
        ASSERT_EQ(error == unreadSocket ? ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends)
                                        : ::pipe2(ends, O_CLOEXEC),
                  0);
        ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
        QProcess program;
        if (error == file)
            program.setStandardErrorFile(home.filePath("error"));
        else
            program.setChildProcessModifier([end = ends[1]] { ::dup2(end, STDERR_FILENO); });
        program.start(QCoreApplication::applicationDirPath() + "/decoding-program",
                      {home.filePath("Pictures/picture.png"), "lines"});
        ::close(ends[1]);
        ASSERT_TRUE(program.waitForStarted(10000));
        // What a decode in a new process answers, where nobody reads the program's standard error after
        // a message of the program's own.
        const auto decoded = [&program, error = error] {
            program.write(error == unreadPipe || error == unreadSocket ? "say\n" : "decode\n");
            for (QDeadlineTimer deadline(30000);
                 !program.canReadLine() && program.waitForReadyRead(int(deadline.remainingTime()));) { }
            return program.readLine();
        };
        for (int decode = 0; decode < decodes; ++decode) {
            EXPECT_EQ(decoded(), "drawn\n");
            if (error == pipeReaderGone && decode == 0) {
                // Emptied, so that what comes next is written to it, then gone.
                for (char buffer[4096]; ::read(ends[0], buffer, sizeof buffer) > 0;) { }
                ::close(std::exchange(ends[0], -1));
            }
        }
        program.closeWriteChannel();
        EXPECT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        if (error == file) {
            const QByteArray written = home.readFile("error");
            EXPECT_LE(written.size(), decodes * DecoderLimits().outputBytes);
            EXPECT_TRUE(written.contains(visible));
            EXPECT_GE(QString::fromLocal8Bit(written).count(leftOut), decodes - 1);
            EXPECT_FALSE(std::any_of(written.cbegin(), written.cend(),
                                     [](char byte) { return uchar(byte) < 0x20 && byte != '\n'; }));
        }
        if (ends[0] >= 0)
            ::close(ends[0]);
    }
}

// A shown picture holds memory of about its own size, also where the decoder decodes the whole picture
// before scaling it (a photo to be turned, a TIFF, a BMP); and the canvases kept for later pictures are
// bounded in bytes.
TEST_F(PictureDecoderTest, APictureIsHeldOnMemoryOfItsOwnSize)
{
    const QSize photo(2400, 1600);
    // A phone's photo, to be turned a quarter: an Exif orientation of 6 right after the JPEG's start.
    const QByteArray exif = QByteArray::fromHex("ffe10022457869660000"
                                                "4d4d002a00000008000101120003000000010006000000000000");
    home.writeFile("Pictures/turned.jpg", Broken::picture(photo, Qt::darkCyan, "jpeg").insert(2, exif));
    ASSERT_TRUE(Broken::writeTiff(home.filePath("Pictures/camera.tiff"), photo, Qt::darkCyan));
    home.writeFile("Pictures/scan.bmp", Broken::picture(photo, Qt::darkCyan, "bmp"));
    // A TGA, which the toolkit knows by a file's name but not by what it holds; a GIF whole to its end.
    home.writeFile("Pictures/scan.tga", Broken::tga(photo, Qt::darkCyan, 24));
    home.writeFile("Pictures/scan.gif", Broken::gif(photo, Qt::darkCyan));
    const std::pair<const char *, QSize> cases[] = {
        {"Pictures/turned.jpg", QSize(64, 96)}, {"Pictures/camera.tiff", QSize(64, 43)},
        {"Pictures/scan.bmp", QSize(64, 43)},   {"Pictures/scan.tga", QSize(64, 43)},
        {"Pictures/scan.gif", QSize(64, 43)},
    };
    for (const auto &[name, size] : cases) {
        SCOPED_TRACE(name);
        PictureDecoder decoder;
        const QImage shown =
            decoder.covering(QUrl::fromLocalFile(home.filePath(name)), {QSize(64, 36)}).image;
        EXPECT_EQ(shown.size(), size);
        decoder.endIdleProcesses();
        EXPECT_LE(heldCanvasBytes(), shown.sizeInBytes() * 9 / 8);
    }

    // A canvas past any picture's size is never made, and nobody can grow one past its size.
    const Canvas largest = canvasOf(size_t(PictureProtocol::maxPixels) * 4);
    EXPECT_NE(largest.data, nullptr);
    EXPECT_NE(::ftruncate(largest.file, PictureProtocol::maxPixels * 4 + 1), 0);
    largest.release();
    EXPECT_EQ(canvasOf(size_t(PictureProtocol::maxPixels) * 4 + 1).data, nullptr);

    SpareCanvases spares(8, 1 << 20);
    spares.processStarted();
    const Canvas kept = canvasOf(600 << 10);
    const Canvas beyond = canvasOf(600 << 10);
    spares.giveBack(kept);
    spares.giveBack(beyond);
    EXPECT_EQ(spares.spareBytes(), size_t(600 << 10));
    EXPECT_EQ(::fcntl(beyond.file, F_GETFD), -1) << "released";
    // A canvas of the picture's size is shown from; a larger one is given back at once.
    const Canvas fitting = canvasOf(16 * 16 * 4);
    EXPECT_EQ(spares.picture(fitting, 16, 16, QImage::Format_RGB32, false).constBits(), fitting.data);
    const Canvas larger = canvasOf(256 << 10);
    EXPECT_NE(spares.picture(larger, 16, 16, QImage::Format_RGB32, false).constBits(), larger.data);
    EXPECT_EQ(spares.spareBytes(), size_t(857 << 10));
    spares.processEnded();
}

// However the program ends, no decoding process goes on after it: a program that quits ends them, and
// one that is killed takes them with it (the process ends itself when its parent is gone).
TEST_F(PictureDecoderTest, DecodingProcessesEndWithTheProgram)
{
    // Seconds of reading for the decoding process, in little memory.
    home.writeFile("Pictures/slow.svgz", Broken::svgzOf(6000000, "desc"));
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "quit");
        QProcess program;
        program.start(QCoreApplication::applicationDirPath() + "/decoding-program",
                      {home.filePath("Pictures/slow.svgz"), killed ? "wait" : "quit"});
        ASSERT_TRUE(program.waitForReadyRead(10000));
        const pid_t decoding = pid_t(program.readLine().trimmed().toInt());
        ASSERT_GT(decoding, 0);
        ASSERT_FALSE(gone(decoding));
        QElapsedTimer clock;
        if (killed) {
            program.kill();
        } else {
            // The program ends soon after its quit, its decodes ended, whichever threads wait on them.
            ASSERT_TRUE(program.canReadLine() || program.waitForReadyRead(10000));
            clock.start();
            EXPECT_EQ(program.readLine(), "quit\n");
        }
        ASSERT_TRUE(program.waitForFinished(10000));
        if (!killed) {
            EXPECT_LT(clock.elapsed(), 1000);
        }
        EXPECT_TRUE(TestSupport::waitUntil([decoding] { return gone(decoding); }, 2s))
            << "still there 2 s after the program ended";
        if (!gone(decoding))
            ::kill(decoding, SIGKILL);
    }
}

// The decodes that run at once take their memory limits from their decoder's budget: no more of them
// run together than it holds, however many threads ask; each decoder's threads run its decodes side by
// side (the previews two at a time). A decode waiting for its turn gives up at once when ended, and
// starts no process.
TEST_F(PictureDecoderTest, DecodesRunSideBySideWithinTheirBudget)
{
    home.writeFile("Pictures/picture.png", Broken::picture(QSize(8, 8), Qt::red));
    PictureDecoder budgeted({qint64(512) << 20, 20s}, qint64(1) << 30, 6);
    const std::pair<PictureDecoder *, int> cases[] = {{&budgeted, 2}, {&PictureDecoder::previews(), 2}};
    for (const auto &[decoder, expected] : cases) {
        SCOPED_TRACE(decoder == &budgeted ? "within a budget" : "previews");
        const TestSupport::SilentDecoders silent(home, 30);
        const PictureDecoder::Ending ending = std::make_shared<std::atomic<bool>>(false);
        for (int i = 0; i < 6; ++i) {
            decoder->pool().start([&, decoder = decoder] {
                decoder->covering(QUrl::fromLocalFile(home.filePath("Pictures/picture.png")), {QSize(8, 8)},
                                  ending);
            });
        }
        EXPECT_TRUE(TestSupport::waitUntil(
            [&silent, expected = expected] { return silent.runningNow() >= expected; }));
        std::this_thread::sleep_for(300ms);
        QElapsedTimer clock;
        EXPECT_EQ(silent.runningNow(), expected);
        if (decoder == &budgeted) {
            const PictureDecoder::Ending waitingEnding = std::make_shared<std::atomic<bool>>(false);
            auto waiting = std::async(std::launch::async, [&] {
                return decoder->covering(QUrl::fromLocalFile(home.filePath("Pictures/picture.png")),
                                         {QSize(8, 8)}, waitingEnding);
            });
            std::this_thread::sleep_for(200ms);
            *waitingEnding = true;
            EXPECT_EQ(waiting.wait_for(1s), std::future_status::ready);
            *ending = true;
            EXPECT_EQ(waiting.get().failure, shown("Pictures/picture.png", "decoding it was ended"));
        }
        *ending = true;
        clock.start();
        EXPECT_TRUE(decoder->pool().waitForDone(5000));
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(silent.started(), expected);
    }

    // Memory that comes free as the wait is given up is not taken.
    MemoryBudget budget(1);
    ASSERT_TRUE(budget.take(1, {}));
    std::atomic<bool> givenUp = false;
    auto waiting = std::async(std::launch::async, [&] {
        return budget.take(
            1, [&givenUp] { return givenUp.load(); }, 1h);
    });
    std::this_thread::sleep_for(100ms);
    givenUp = true;
    budget.giveBack(1);
    EXPECT_FALSE(waiting.get());
}

#include "KivDesktopBackground/PictureDecoder.h"
#include "testsupport/BrokenPictures.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

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
};

} // namespace

TEST_F(PictureDecoderTest, PicturesThatDoNotDecodeSayWhyAndNoneIsWaitedOn)
{
    const QString pipe = home.filePath("Pictures/pipe.png");
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
    ASSERT_TRUE(TestSupport::HostileFiles::makeLinkLoop(home.filePath("Pictures/loop.png")));
    home.writeFile("Pictures/notes.png", "not an image");
    home.writeFile("Pictures/cut.png", Broken::cutPng(60));
    home.writeFile("Pictures/corrupt.png", Broken::corruptPng());
    home.writeFile("Pictures/claims.png", Broken::pngClaiming(QSize(640, 360)));
    home.writeFile("Pictures/claims.bmp", Broken::bmpClaiming(QSize(16000, 16000)));
    const QByteArray bitmap = Broken::picture(QSize(64, 36), Qt::darkGreen, "bmp");
    home.writeFile("Pictures/cut.bmp", bitmap.chopped(1));
    home.writeFile("Pictures/boundless.bmp", Broken::bmpClaiming(QSize(2147483647, 2147483647)));
    home.writeFile("Pictures/cut.jpg", Broken::cutJpeg());
    home.writeFile("Pictures/corrupt.jpg", Broken::corruptJpeg());
    // A copy that notes where it came from is named by that file.
    home.writeFile("Pictures/copy.png", Broken::corruptPng());
    PictureDecoder::recordOrigin(home.filePath("Pictures/copy.png"), home.filePath("Pictures/Holiday.png"));
    const QString damaged = "its data is damaged or incomplete";
    const std::pair<const char *, QString> cases[] = {
        {"Pictures/pipe.png", "it is not a regular file"},
        {"Pictures/loop.png", "Too many levels of symbolic links"},
        {"Pictures/notes.png", "it is not a picture the program can read"},
        {"Pictures/cut.png", damaged},
        {"Pictures/corrupt.png", damaged},
        {"Pictures/claims.png", damaged},
        {"Pictures/claims.bmp", "it is incomplete: its header promises 768000054 bytes, the file holds 64"},
        {"Pictures/cut.bmp",
         QStringLiteral("it is incomplete: its header promises %1 bytes, the file holds %2")
             .arg(bitmap.size())
             .arg(bitmap.size() - 1)},
        {"Pictures/boundless.bmp", "it is too large to be shown (2147483647 × 2147483647 pixels)"},
        {"Pictures/cut.jpg", damaged},
        {"Pictures/corrupt.jpg", damaged},
    };
    const auto decode = [](const QString &path) {
        return PictureDecoder::shared().covering(QUrl::fromLocalFile(path), {QSize(8, 8)});
    };
    for (const auto &[name, reason] : cases) {
        PictureDecoder::Decoded decoded;
        EXPECT_LT(TestSupport::timeWithPipes({pipe}, [&] { decoded = decode(home.filePath(name)); }), 1s);
        EXPECT_TRUE(decoded.image.isNull()) << name;
        EXPECT_EQ(decoded.failure, shown(name, reason));
    }
    EXPECT_EQ(decode(home.filePath("Pictures/missing.png")).failure,
              "The picture “" + home.filePath("Pictures/missing.png") + "” cannot be found.");
    EXPECT_EQ(decode(home.filePath("Pictures/copy.png")).failure, shown("Pictures/Holiday.png", damaged));
    EXPECT_EQ(PictureDecoder::shared().covering(QUrl("https://example.com/a.png"), {}).failure,
              "The picture “https://example.com/a.png” is not a file.");
    EXPECT_EQ(PictureDecoder::shared().fitting(home.filePath("Pictures/cut.jpg"), 8).failure,
              shown("Pictures/cut.jpg", "its data is damaged or incomplete"));
}

TEST_F(PictureDecoderTest, AnSvgDrawsWhatItHoldsAndNoFileItNames)
{
    // A picture only its owner may read, elsewhere, that the SVG names; a pipe; the same picture held as
    // data; and SVGs held as data that name them in turn. A path after "#" is opened as a file in the
    // decoding process's folder.
    const QByteArray secret = Broken::picture(QSize(16, 9), Qt::red);
    home.writeFile("elsewhere/secret.png", secret);
    QFile::setPermissions(home.filePath("elsewhere/secret.png"), QFile::ReadOwner | QFile::WriteOwner);
    home.writeFile("#/a/path", secret);
    const QString pipe = home.filePath("elsewhere/pipe.png");
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
    const QString data = "data:image/png;base64," + QString::fromLatin1(secret.toBase64());
    const auto holding = [](const QString &href) {
        return Broken::svgData(Broken::svgWithImage(QSize(16, 9), Qt::green, href));
    };
    const QRgb blue = qRgb(0, 0, 255);
    const QRgb green = qRgb(0, 255, 0);
    const QString secretPath = home.filePath("elsewhere/secret.png");
    const std::pair<QByteArray, QRgb> cases[] = {
        {Broken::svgWithImage(QSize(16, 9), Qt::blue, home.filePath("elsewhere/secret.png")), blue},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue,
                              QUrl::fromLocalFile(home.filePath("elsewhere/secret.png")).toString()),
         blue},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue, "../elsewhere/secret.png"), blue},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue, "#/a/path"), blue},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue, pipe), blue},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue, data), qRgb(255, 0, 0)},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue, holding(data)), qRgb(255, 0, 0)},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue, holding(home.filePath("elsewhere/secret.png"))), green},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue,
                              holding(holding(home.filePath("elsewhere/secret.png")))),
         green},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue, holding(pipe)), green},
        {Broken::svgWithLink(QSize(16, 9), Qt::blue, "https://example.com/"), blue},
        // Read as its reader reads it, whatever its bytes show.
        {Broken::inEncoding(Broken::svgWithImage(QSize(16, 9), Qt::blue, secretPath), "UTF-7"), blue},
        {Broken::inEncoding(Broken::svgWithImage(QSize(16, 9), Qt::blue, secretPath), "IBM037"), blue},
        {Broken::inEncoding(Broken::svgWithImage(QSize(16, 9), Qt::blue, pipe), "IBM037"), blue},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue,
                              Broken::svgData(Broken::inEncoding(
                                  Broken::svgWithImage(QSize(16, 9), Qt::green, secretPath), "UTF-7"))),
         green},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue,
                              Broken::svgData(Broken::inEncoding(
                                  Broken::svgWithImage(QSize(16, 9), Qt::green, pipe), "IBM037"))),
         green},
    };
    // A decoder of its own, started in the folder that holds "#/a/path".
    const QString folder = QDir::currentPath();
    QDir::setCurrent(home.path());
    PictureDecoder decoder;
    for (const auto &[svg, drawn] : cases) {
        SCOPED_TRACE(svg.left(160).toStdString());
        home.writeFile("Pictures/picture.svg", svg);
        PictureDecoder::Decoded decoded;
        EXPECT_LT(TestSupport::timeWithPipes(
                      {pipe},
                      [&] {
                          decoded = decoder.covering(
                              QUrl::fromLocalFile(home.filePath("Pictures/picture.svg")), {QSize(64, 36)});
                      }),
                  1s);
        ASSERT_EQ(decoded.failure, std::nullopt);
        // Drawn at the size shown, not enlarged from its own.
        EXPECT_EQ(decoded.image.size(), QSize(64, 36));
        EXPECT_EQ(decoded.image.pixel(32, 18), drawn);
    }
    QDir::setCurrent(folder);
}

// A decode that outgrows the process's memory, outlasts its time, whose process dies or answers
// nonsense, or that a later one takes the place of, is ended with its process, at once and naming why.
TEST_F(PictureDecoderTest, LimitsEndADecodeAndNameWhy)
{
    home.writeFile("Pictures/picture.png", Broken::picture(QSize(8, 8), Qt::red));
    home.writeFile("Pictures/texts.png", Broken::pngWithTexts(100));
    // Stand-ins for the decoding process; each notes its process id first.
    const auto standIn = [this](const char *name, const QByteArray &then) {
        home.writeFile(name,
                       "#!/bin/sh\necho $$ > '" + QFile::encodeName(home.filePath("pid")) + "'\n" + then);
        QFile::setPermissions(home.filePath(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return home.filePath(name);
    };
    const QString silent = standIn("silent", "exec sleep 30\n");
    const QString dying = standIn("dying", "exit 3\n");
    const QString talking = standIn("talking", "printf '%064d' 0 >&0\nexec sleep 30\n");
    // Pictures on canvases that could shrink under the program's mapping, or that are too small.
    const QByteArray liar =
        QFile::encodeName(QCoreApplication::applicationDirPath() + "/lying-picture-process");
    const QString unsealed = standIn("unsealed", "exec '" + liar + "' unsealed\n");
    const QString smallCanvas = standIn("small", "exec '" + liar + "' small\n");
    const PictureDecoder::Limits quick {qint64(1) << 30, 500ms};
    const PictureDecoder::Limits small {qint64(256) << 20, 20s};
    struct Case
    {
        QString tool; // empty: the program's own
        PictureDecoder::Limits limits;
        bool endedEarly;
        const char *picture;
        QString reason;
    };
    const Case cases[] = {
        {silent, quick, false, "Pictures/picture.png", "decoding it takes more than 0.5 seconds"},
        {silent, small, true, "Pictures/picture.png", "decoding it was ended"},
        {dying, small, false, "Pictures/picture.png", "decoding it stopped unexpectedly"},
        {talking, small, false, "Pictures/picture.png", "decoding it gave an answer that cannot be used"},
        {unsealed, small, false, "Pictures/picture.png", "decoding it gave an answer that cannot be used"},
        {smallCanvas, small, false, "Pictures/picture.png", "decoding it gave an answer that cannot be used"},
        {home.filePath("missing"), small, false, "Pictures/picture.png",
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
        QElapsedTimer clock;
        clock.start();
        const PictureDecoder::Decoded decoded =
            decoder.covering(QUrl::fromLocalFile(home.filePath(test.picture)), {QSize(8, 8)}, ending);
        later.join();
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(decoded.failure, shown(test.picture, test.reason));
        // The stand-in's process is gone (reaped, too: its id names no process).
        const int pid = home.readFile("pid").trimmed().toInt();
        EXPECT_TRUE(pid == 0 || (::kill(pid, 0) != 0 && errno == ESRCH)) << pid;
    }
}

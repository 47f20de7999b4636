// Cost of an SVG with text for a decoding process that starts anew, with the user's fonts many.
//
//   cmake --preset dev && cmake --build --preset dev -j3 --target picture_fonts tapestrel-picture &&
//   build/dev/bin/picture_fonts
//
// - BM_TextInAFreshProcess/1000: a home with 1,000 fonts of the user's (~/.local/share/fonts), whose
//   font cache is as the program's own start leaves it: in the user's cache folder (~/.cache/fontconfig),
//   as it is for every user but root (root's goes to the system's cache folder, which this leaves alone).
//   Each round starts a decoding process for a preview of an SVG with text and ends it after.
// - Its floor, BM_TextInAFreshProcess/0: the same with a home that holds no font.

#include "KivDesktopBackground/PictureDecoder.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QTemporaryDir>

#include "FloorRatio.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

using namespace KivDesktopBackground;

namespace {

QTemporaryDir *g_folder = nullptr;
QByteArray g_homes[2];
QString g_text;

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Two homes, and the font configuration of a user whose own cache folder takes what the program's
// start finds (the system's for the system's fonts, as ever).
QByteArray prepareFiles()
{
    g_folder = new QTemporaryDir;
    const QString font = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Oblique.ttf");
    if (!QFile::exists(font))
        qFatal("no %s to install 1000 times as the user's", qPrintable(font));
    for (const int fonts : {0, 1000}) {
        const QString home = g_folder->filePath(QStringLiteral("home-%1").arg(fonts));
        QDir().mkpath(home + QStringLiteral("/.local/share/fonts"));
        for (int i = 0; i < fonts; ++i) {
            const QString installed = home + QStringLiteral("/.local/share/fonts/font-%1.ttf").arg(i);
            // Each file is read as a font of its own, whether a link or a copy.
            if (::link(QFile::encodeName(font).constData(), QFile::encodeName(installed).constData()) != 0)
                QFile::copy(font, installed);
        }
        g_homes[fonts > 0] = QFile::encodeName(home);
    }
    g_text = g_folder->filePath(QStringLiteral("text.svg"));
    write(g_text,
          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"360\">"
          "<rect width=\"640\" height=\"360\" fill=\"white\"/><text x=\"20\" y=\"200\" "
          "font-family=\"sans-serif\" font-size=\"120\">Text</text></svg>");
    QFile system(QStringLiteral("/etc/fonts/fonts.conf"));
    if (!system.open(QIODevice::ReadOnly))
        qFatal("no font configuration");
    const QString configuration = g_folder->filePath(QStringLiteral("fonts.conf"));
    write(configuration,
          system.readAll()
              .replace("<cachedir>/var/cache/fontconfig</cachedir>", "")
              .replace(">conf.d<", ">/etc/fonts/conf.d<"));
    return QFile::encodeName(configuration);
}

void BM_TextInAFreshProcess(benchmark::State &state)
{
    qputenv("HOME", g_homes[state.range(0) > 0]);
    PictureDecoder decoder;
    for (auto _ : state) {
        const PictureDecoder::Decoded decoded = decoder.fitting(g_text, 256);
        if (decoded.failure)
            state.SkipWithError(qPrintable(*decoded.failure));
        state.PauseTiming();
        decoder.endIdleProcesses();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TextInAFreshProcess)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray configuration = prepareFiles();
    // The program's start with the fonts installed: its font configuration reads them all and keeps
    // what they hold in the user's cache folder.
    qputenv("HOME", g_homes[1]);
    qputenv("FONTCONFIG_FILE", configuration);
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CACHE_HOME");
    QGuiApplication app(argc, argv);
    if (QFontDatabase::families().isEmpty())
        qFatal("no fonts");
    if (!QFile::exists(QFile::decodeName(g_homes[1]) + QStringLiteral("/.cache/fontconfig")))
        qFatal("the start left no font cache in the user's cache folder");
    const int result =
        FloorRatio::run(argc, argv, {{"BM_TextInAFreshProcess/1000", "BM_TextInAFreshProcess/0"}});
    delete g_folder;
    return result;
}

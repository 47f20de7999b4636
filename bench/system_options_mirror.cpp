// What acting on the real desktop adds to applying the thirteen system options, beside
// system_options_apply: the same two profiles, applied once with the emulated home alone (the floor)
// and once with a GNOME desktop as well, whose settings live in a keyfile over schemas of the
// benchmark's own (GSettings does the same work for dconf, whose service writes in the background).
// The time mirroring adds is the difference of the two medians in the table at the end.
//
//   cmake --preset dev && cmake --build --preset dev && build/dev/bin/system_options_mirror
//
// Also the picture of a gradient at 4K that the desktop is handed (drawn and written anew each
// time), and the same picture asked for again, which is not drawn again.

#include "KivDesktopBackground/DesktopWallpaper.h"
#include "platform/GnomeDesktop.h"

#include "testsupport/GnomeSettings.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <QCoro/QCoroTask>

#include "FloorRatio.h"
#include "SystemOptionsApply.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace SystemProfileSamples;
using KivDesktopBackground::Background;
using KivDesktopBackground::SerializableLinearGradient;

std::unique_ptr<TestSupport::GnomeSettings> g_gnome;
std::shared_ptr<Platform::GnomeDesktop> g_desktop;

using SystemOptionsApply::profileOf;

void applyProfiles(benchmark::State &state, std::shared_ptr<Platform::LinuxDesktop> desktop)
{
    Platform::LinuxDesktop::select(std::move(desktop));
    const auto profiles = std::array {profileOf(first), profileOf(second)};
    std::size_t next = 0;
    for (auto _ : state) {
        QCoro::waitFor(SystemOptionsApply::apply(profiles[next].get()));
        next = 1 - next;
    }
    Platform::LinuxDesktop::followEnvironment();
}

void applyInEmulatedHomeOnly(benchmark::State &state)
{
    applyProfiles(state, nullptr);
}

void applyMirroredToGnome(benchmark::State &state)
{
    applyProfiles(state, g_desktop);
}

BENCHMARK(applyInEmulatedHomeOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(applyMirroredToGnome)->Unit(benchmark::kMillisecond)->MinTime(1.0);

const QSize fourK(3840, 2160);

Background gradientAt(double angle)
{
    return Background::linearGradient(SerializableLinearGradient(
        angle, {{QColor(250, 90, 20), {}}, {QColor(30, 50, 170), 0.45}, {QColor(20, 200, 130), {}}}));
}

void renderGradient4K(benchmark::State &state)
{
    QTemporaryDir folder;
    KivDesktopBackground::DesktopWallpaper wallpaper(g_desktop, folder.path());
    double angle = 0;
    for (auto _ : state) {
        const QString file = wallpaper.picture(gradientAt(angle), fourK);
        state.PauseTiming();
        QFile::remove(file);
        angle += 7.5;
        state.ResumeTiming();
    }
}

void renderedGradientAgain(benchmark::State &state)
{
    QTemporaryDir folder;
    KivDesktopBackground::DesktopWallpaper wallpaper(g_desktop, folder.path());
    wallpaper.picture(gradientAt(33), fourK);
    for (auto _ : state)
        benchmark::DoNotOptimize(wallpaper.picture(gradientAt(33), fourK));
}

BENCHMARK(renderGradient4K)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(renderedGradientAgain)->Unit(benchmark::kMillisecond)->MinTime(0.5);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("TAPESTREL_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    g_gnome = std::make_unique<TestSupport::GnomeSettings>();
    if (!g_gnome->isValid()) {
        std::fprintf(stderr, "the schemas could not be compiled: %s\n", qPrintable(g_gnome->error()));
        return 1;
    }
    g_desktop = std::make_shared<Platform::GnomeDesktop>(
        Platform::GnomeDesktop::Store {g_gnome->schemaFolder(), g_gnome->keyfile(), false});
    // Both paths start from a home that has seen both profiles.
    {
        Platform::LinuxDesktop::select(g_desktop);
        for (const Values *values : {&first, &second}) {
            const auto profile = profileOf(*values);
            QCoro::waitFor(SystemOptionsApply::apply(profile.get()));
        }
        Platform::LinuxDesktop::followEnvironment();
    }
    const int result = FloorRatio::run(argc, argv, {{"applyMirroredToGnome", "applyInEmulatedHomeOnly"}});
    g_desktop.reset();
    g_gnome.reset();
    return result;
}

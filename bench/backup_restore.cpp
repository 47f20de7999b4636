// Making and restoring a backup of a large library: 1,000 profiles of 28 options and 200 custom
// backgrounds, through the backup manager and the program's handler, as the planner and the
// restore action do it.
//
// RestoreOptions restores 5,000 and 10,000 profiles of 30 options (150,000 options, and 300,000, as
// many as a restore takes) over the same profiles with other values, so that every one is replaced,
// while the main context's profiles are fetched on every change, as the window's lists do; the
// program ends with the ratio of the two, which is about 2 while the restore's time grows with the
// options and not with their square. Its counter longest_pause_ms is the longest the thread of the
// window went without turning its event loop, the lists' reload after the restore included.
//
// The floor of making a backup (ZipSameBytes) is what the archive alone costs: the same JSON files,
// already in memory, deflated at level 6 into a zip file written to the same disk. The program ends
// with the backup's ratio to it from the same run.
#include "KivBackups/BackupManager.h"
#include "Tapestrel/backup/TapestrelBackupHandler.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "testsupport/EventLoopPauses.h"
#include "zip/Zip.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <QCoro/QCoroTask>

#include "FloorRatio.h"

#include <benchmark/benchmark.h>
#include <minizip/zip.h>

#include <algorithm>
#include <exception>
#include <map>
#include <memory>

namespace {

struct Waiter
{
    bool done = false;
    std::exception_ptr error;
    QEventLoop *loop = nullptr;
};

// The result of a task, when it has one, is not measured: it is awaited and dropped.
template<typename T> QCoro::Task<void> awaitInto(QCoro::Task<T> task, Waiter *waiter)
{
    try {
        co_await std::move(task);
    } catch (...) {
        waiter->error = std::current_exception();
    }
    waiter->done = true;
    if (waiter->loop)
        waiter->loop->quit();
}

// Runs the task in an event loop, as the program does: objects released with deleteLater() while it
// runs go in the loop too, as they would in the program (processEvents() outside any loop keeps
// them for good).
template<typename T> void await(QCoro::Task<T> task)
{
    Waiter waiter;
    QEventLoop loop;
    waiter.loop = &loop;
    QCoro::Task<void> wrapper = awaitInto(std::move(task), &waiter);
    if (!waiter.done)
        loop.exec();
    if (waiter.error)
        std::rethrow_exception(waiter.error);
}

struct Library
{
    QTemporaryDir home;
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<KivBackups::BackupManager> manager;
    QDateTime clock = QDateTime(QDate(2026, 1, 1), QTime(0, 0));

    Library()
    {
        qputenv("TAPESTREL_HOME", home.path().toUtf8());
        container = std::make_unique<ModelContainer>(home.filePath("data/data.sqlite"));
        ModelContext *context = container->mainContext();
        for (int p = 0; p < 1000; ++p) {
            auto *profile = context->insert(std::make_unique<Profile>(QStringLiteral("Profile %1").arg(p)));
            for (int o = 0; o < 28; ++o)
                profile->findOrCreateOption(QStringLiteral("system.option.%1").arg(o))
                    ->setValue(QStringLiteral("{\"type\":\"color\",\"color\":\"#%1\"}")
                                   .arg(p * 28 + o, 6, 16, QLatin1Char('0')));
        }
        for (int b = 0; b < 200; ++b)
            context->insert(std::make_unique<CustomBackground>(
                CustomBackground::Kind::Image,
                QStringLiteral("{\"type\":\"image\",\"url\":\"file:///pictures/%1.jpg\"}").arg(b),
                QByteArray(300, char(b))));
        context->save();
        manager = std::make_unique<KivBackups::BackupManager>(
            KivBackups::BackupManager::Configuration {home.filePath("backups"), "tapback"},
            std::make_shared<TapestrelBackupHandler>(context, "profiles.json", "backgrounds.json"));
        // One second further for every backup, so no two share a name.
        manager->setClock([this] { return clock = clock.addSecs(1); });
    }
};

Library &library()
{
    static Library instance;
    return instance;
}

void MakeBackup(benchmark::State &state)
{
    Library &lib = library();
    double bytes = 0;
    for (auto _ : state) {
        await(lib.manager->makeBackup(false));
        // The folder keeps the backups it had, as the planner's thinning keeps it in use: listing
        // thousands of archives left by earlier rounds would be measured instead.
        state.PauseTiming();
        const KivBackups::Backup made = lib.manager->backups().last();
        bytes = double(made.size);
        await(lib.manager->deleteBackup(made));
        state.ResumeTiming();
    }
    state.counters["bytes"] = bytes;
}
// The work runs on the thread pool: the real time decides how long to measure.
BENCHMARK(MakeBackup)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void ZipSameBytes(benchmark::State &state)
{
    Library &lib = library();
    // The files that a backup archives, as the handler writes them.
    QTemporaryDir written;
    TapestrelBackupHandler handler(lib.container->mainContext(), "profiles.json", "backgrounds.json");
    await(handler.backup(written.path()));
    QList<std::pair<QByteArray, QByteArray>> files;
    qint64 bytes = 0;
    for (const QString &name : QDir(written.path()).entryList(QDir::Files, QDir::Name)) {
        QFile file(QDir(written.path()).filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("the backup's files could not be read");
            return;
        }
        files.append({name.toUtf8(), file.readAll()});
        bytes += files.last().second.size();
    }
    const QByteArray archive = QFile::encodeName(lib.home.filePath("floor.zip"));
    for (auto _ : state) {
        zipFile zip = zipOpen64(archive.constData(), APPEND_STATUS_CREATE);
        for (const auto &[name, content] : std::as_const(files)) {
            zip_fileinfo info {};
            zipOpenNewFileInZip64(zip, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  6, content.size() >= 0xffffffffLL);
            zipWriteInFileInZip(zip, content.constData(), unsigned(content.size()));
            zipCloseFileInZip(zip);
        }
        zipClose(zip, nullptr);
    }
    state.counters["json_bytes"] = double(bytes);
}
BENCHMARK(ZipSameBytes)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void RestoreBackup(benchmark::State &state)
{
    Library &lib = library();
    if (lib.manager->backups().isEmpty())
        await(lib.manager->makeBackup(false));
    const KivBackups::Backup backup = lib.manager->backups().first();
    for (auto _ : state)
        await(lib.manager->restore(backup));
    state.counters["profiles"] = double(lib.container->mainContext()->fetchProfiles().size());
}
BENCHMARK(RestoreBackup)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same restore after every profile was renamed, so each one is replaced.
void RestoreIntoChangedStore(benchmark::State &state)
{
    Library &lib = library();
    if (lib.manager->backups().isEmpty())
        await(lib.manager->makeBackup(false));
    const KivBackups::Backup backup = lib.manager->backups().first();
    ModelContext *context = lib.container->mainContext();
    for (auto _ : state) {
        state.PauseTiming();
        for (Profile *profile : context->fetchProfiles())
            profile->setName(profile->name() + QLatin1Char('*'));
        context->save();
        state.ResumeTiming();
        await(lib.manager->restore(backup));
    }
}
BENCHMARK(RestoreIntoChangedStore)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Two backups of the same profiles, 30 options each, whose values differ between the two, and a store
// that holds one of them, whose main context the window's lists follow.
struct OptionsLibrary
{
    static constexpr int optionsPerProfile = 30;
    QTemporaryDir home;
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<KivBackups::BackupManager> manager;
    QList<KivBackups::Backup> backups;
    // The store holds the other one: each restore replaces every profile.
    qsizetype next = 0;

    explicit OptionsLibrary(int profiles)
    {
        container = std::make_unique<ModelContainer>(home.filePath("data/data.sqlite"));
        manager = std::make_unique<KivBackups::BackupManager>(
            KivBackups::BackupManager::Configuration {home.filePath("backups"), "tapback"},
            std::make_shared<TapestrelBackupHandler>(container->mainContext(), "profiles.json",
                                                     "backgrounds.json"));
        QDir().mkpath(home.filePath("backups"));
        for (const char version : {'a', 'b'}) {
            QByteArray json = "[";
            for (int p = 0; p < profiles; ++p) {
                json += (p ? ",{" : "{") + QByteArray(R"("uuid":"P)") + QByteArray::number(p)
                    + R"(","name":"Profile","options":[)";
                for (int o = 0; o < optionsPerProfile; ++o)
                    json += (o ? ",{" : "{") + QByteArray(R"("key":"system.option.)") + QByteArray::number(o)
                        + R"(","value":")" + version + QByteArray::number(p * optionsPerProfile + o) + "\"}";
                json += "]}";
            }
            json += "]";
            Zip::Zip::zipData(
                {{"backgrounds.json", "[]", std::nullopt}, {"profiles.json", json, std::nullopt}},
                home.filePath(version == 'a' ? "backups/20260101000000.tapback"
                                             : "backups/20260102000000.tapback"));
        }
        await(manager->reload());
        backups = manager->backups();
        await(manager->restore(backups.last()));
        ModelContext *context = container->mainContext();
        QObject::connect(context, &ModelContext::profilesChanged, context,
                         [context] { context->fetchProfiles(); });
        context->fetchProfiles();
    }
};

OptionsLibrary &optionsLibrary(int profiles)
{
    static std::map<int, std::unique_ptr<OptionsLibrary>> libraries;
    std::unique_ptr<OptionsLibrary> &library = libraries[profiles];
    if (!library)
        library = std::make_unique<OptionsLibrary>(profiles);
    return *library;
}

void RestoreOptions(benchmark::State &state)
{
    OptionsLibrary &lib = optionsLibrary(int(state.range(0)));
    if (lib.backups.size() != 2) {
        state.SkipWithError("the backups were not made");
        return;
    }
    qint64 longestPause = 0;
    for (auto _ : state) {
        const TestSupport::EventLoopPauses pauses;
        await(lib.manager->restore(lib.backups[lib.next++ % 2]));
        longestPause = std::max(longestPause, pauses.longest());
    }
    state.counters["options"] = double(state.range(0) * OptionsLibrary::optionsPerProfile);
    state.counters["longest_pause_ms"] = double(longestPause);
}
// The merge runs off the thread that awaits it: the real time decides how long to measure.
BENCHMARK(RestoreOptions)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return FloorRatio::run(argc, argv,
                           {{"MakeBackup", "ZipSameBytes"}, {"RestoreOptions/10000", "RestoreOptions/5000"}});
}

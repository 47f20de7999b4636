#include "Tapestrel/Tapestrel.h"

#include "KivApp/ProgramEnd.h"
#include "KivBackups/BackupManager.h"
#include "KivBackups/BackupPlanner.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "KivDesktopBackground/DesktopWallpaper.h"
#include "KivDesktopBackground/SystemScreenSource.h"
#include "KivIntroduction/IntroductionController.h"
#include "KivUpdates/KivUpdates.h"
#include "KivUtilities/DataPath.h"
#include "KivUtilities/Detached.h"
#include "KivWhatsNew/WhatsNewController.h"
#include "Tapestrel/TapestrelReleases.h"
#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/automation/ProfileScheduler.h"
#include "Tapestrel/background/BackgroundLibraryServices.h"
#include "Tapestrel/background/SharedDesktopBackground.h"
#include "Tapestrel/backup/PredefinedProfileController.h"
#include "Tapestrel/backup/TapestrelBackupHandler.h"
#include "Tapestrel/backup/TapestrelDataResetController.h"
#include "Tapestrel/model/AutosaveController.h"
#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/ProfileController.h"
#include "Tapestrel/model/ProfileOperationQueue.h"
#include "Tapestrel/model/UnreadableStore.h"
#include "Tapestrel/system/DockReloader.h"
#include "Tapestrel/ui/AppInfo.h"
#include "Tapestrel/ui/StartupMarks.h"
#include "Tapestrel/ui/TapestrelIntroduction.h"
#include "platform/Alerts.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtGlobal>

namespace {

QCoro::Task<void> reloadDock()
{
    DockReloader reloader;
    co_await reloader.reload();
}

// The background the program's windows showed last, by a profile or directly: they end with the
// program, and nothing else keeps what they showed.
const QString lastBackgroundKey = QStringLiteral("lastShownBackground");

// The backups whose restore an end left undone, by file name, until a start has told the user.
const QString unfinishedRestoresKey = QStringLiteral("unfinishedRestores");

QCoro::Task<void> showAgain(KivDesktopBackground::DesktopBackgroundController *controller,
                            KivDesktopBackground::Background background)
{
    // Nobody waits for the answer at start; a picture that is gone since stays off the screen.
    const std::optional<QString> refusal = (co_await controller->setBackground(background)).refusal;
    if (refusal)
        qWarning("The last background is not shown again: %s", qPrintable(*refusal));
}

} // namespace

Tapestrel &Tapestrel::shared()
{
    // Never destroyed: services are used until the very end of the process.
    static Tapestrel *instance = [] {
        auto *controller = new Tapestrel();
        OptionStore::setProgramShared(&controller->optionStore());
        ProfileController::setProgramDockRestart(&reloadDock);
        EngineSettings::setProgramDisabledOptionIDsSource(
            [controller] { return controller->synchronizedOptionsStore().disabledOptionsIDs(); });
        // Background options and buttons show the background through this controller's windows.
        setSharedDesktopBackgroundSource([controller]() -> auto & {
            return controller->desktopBackgroundController();
        });
        return controller;
    }();
    return *instance;
}

QString Tapestrel::storePath()
{
    return KivUtilities::PathController<Path>(KivUtilities::DataPath::path()).path(Path::data);
}

namespace {

std::unique_ptr<KivWhatsNew::WhatsNewController> makeWhatsNewController()
{
    KivWhatsNew::WhatsNewView::Config config;
    config.accentColor = AppInfo::accentColor();
    config.buttonBackgroundColor = AppInfo::accentColor();
    config.buttonTextColor = Qt::white;
    config.windowWidth = 500;
    config.isNewsletterInfoEnabled = true;
    return std::make_unique<KivWhatsNew::WhatsNewController>(
        std::make_unique<KivWhatsNew::ReleaseStore>(TapestrelReleases::all()),
        KivUtilities::UpdateDetector::shared(),
        std::make_unique<KivWhatsNew::UserDefaultsSettingsStore>(QStringLiteral("WhatsNew")), config);
}

} // namespace

Tapestrel::Tapestrel()
    : m_updates(std::make_unique<KivUpdates>(true))
    , m_whatsNewController(makeWhatsNewController())
    , m_synchronizedOptionsStore(
          std::make_unique<SynchronizedOptionsStore>(Platform::CloudKeyValueStore::defaultStore()))
    , m_paths(KivUtilities::DataPath::path())
    , m_backgroundsCoordinator(m_paths.path(Path::backgrounds))
{
    // The background library keeps added images where the coordinator says, asked anew at each use.
    BackgroundLibraryServices::shared().wallpapersFolder = [self = QPointer<Tapestrel>(this)] {
        return self ? self->m_backgroundsCoordinator.wallpapersFolderPath() : QString();
    };
    m_profileScheduler = std::make_unique<ProfileScheduler>(
        *m_synchronizedOptionsStore, [this] { return modelContainer().mainContext(); });
    autosaveController().start();
    // The event loop has stopped by then: the autosave ticks no more, nor does a merge end in it. The
    // program's end does this itself, once joined (joinEnd()).
    finishAtQuitWithoutEnd();
    showLastBackground();
    // The start-up task (moving background images to the cloud drive, importing the predefined
    // profiles once, the release notes) is started here, last. It runs once the constructor has
    // returned, on the GUI thread, and not at all when the controller is gone before.
    QTimer::singleShot(0, this, &Tapestrel::runStartUpTask);
}

void Tapestrel::showLastBackground()
{
    const std::optional<KivDesktopBackground::Background> last =
        KivDesktopBackground::Background::fromRawValue(
            Platform::UserDefaults::standard().string(lastBackgroundKey).value_or(QString()));
    if (!last)
        return;
    // Where the desktop keeps its wallpaper, it shows it still. Before any apply can begin: a later
    // background wins over this one.
    KivDesktopBackground::DesktopBackgroundController &controller = desktopBackgroundController();
    if (!controller.isShownByDesktop() && !controller.background())
        KivUtilities::detached(showAgain(&controller, *last), "showLastBackground");
}

void Tapestrel::tellOfUnfinishedRestores()
{
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    const QVariant value = defaults.value(unfinishedRestoresKey);
    if (!value.isValid())
        return;
    // Once: removed before it is said, so that a start that ends while it is said says it no more.
    defaults.remove(unfinishedRestoresKey);
    for (const QVariant &backup : value.toList()) {
        Platform::Alert alert;
        alert.message = tr("The backup “%1” was not restored.").arg(backup.toString());
        alert.informativeText =
            tr("%1 ended before the restore had ended, and the profiles were left as they "
               "were before it. To restore the backup again, choose it in Settings › "
               "Backups and click Restore.")
                .arg(AppInfo::name);
        alert.buttons = {tr("OK")};
        alert.style = Platform::Alert::Style::Warning;
        // From the event loop, as every alert of the start-up is.
        QTimer::singleShot(0, this, [alert] { Platform::Alerts::run(alert); });
    }
}

void Tapestrel::runStartUpTask()
{
    // Before anything reads the backgrounds: the values must point at the moved files.
    m_backgroundsCoordinator.migrateToICloudDriveIfNeeded(modelContainer());
    PredefinedProfileController(modelContainer().mainContext(),
                                m_backgroundsCoordinator.wallpapersFolderPath())
        .importIfNeeded();
    tellOfUnfinishedRestores();
    m_whatsNewController->showIfNeeded();
    StartupMarks::mark("release notes");
}

void Tapestrel::finishBeforeExit(QDeadlineTimer mergesBy)
{
    if (!m_modelContainer)
        return;
    try {
        m_modelContainer->finishAndSave(mergesBy);
    } catch (const ModelError &error) {
        // Nobody is left to show it to: the program is ending, and standard error is where it goes.
        qWarning("The last changes could not be stored before quitting: %s", error.what());
    }
    rememberUnfinishedRestores();
}

void Tapestrel::storeAtOnce()
{
    if (!m_modelContainer)
        return;
    // The merges (a restore's among them) are abandoned whole rather than waited for: what the user
    // changed, and what scripts made, is in the store before anything can stop the program.
    try {
        m_modelContainer->abandonMergesAndSave();
    } catch (const ModelError &error) {
        qWarning("The last changes could not be stored when Tapestrel was asked to end: %s", error.what());
    }
    rememberUnfinishedRestores();
}

void Tapestrel::rememberUnfinishedRestores()
{
    // Those whose data has reached the store are restored, though their work had not returned.
    if (!m_backupManager || !m_modelContainer || !m_modelContainer->mergesAbandoned())
        return;
    QStringList unfinished;
    for (const QString &backup : m_backupManager->unfinishedRestores()) {
        if (!m_toldUnfinished.contains(backup))
            unfinished.append(backup);
    }
    if (unfinished.isEmpty())
        return;
    m_toldUnfinished += unfinished;
    // Said now, and at the next start where the user sees it.
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    QVariantList kept = defaults.value(unfinishedRestoresKey).toList();
    for (const QString &backup : std::as_const(unfinished)) {
        qWarning("The backup “%s” was not restored: Tapestrel ended before the restore had ended.",
                 qPrintable(backup));
        kept.append(backup);
    }
    defaults.setValue(unfinishedRestoresKey, kept);
}

void Tapestrel::saveWhatWaits()
{
    if (!m_modelContainer)
        return;
    // What a merge still holds back is saved after it, as always.
    try {
        m_modelContainer->mainContext()->save();
    } catch (const ModelError &error) {
        qWarning("The last changes could not be stored for the session: %s", error.what());
    }
}

void Tapestrel::joinEnd(KivApp::ProgramEnd &end, AutomationService *scripts)
{
    const QPointer<Tapestrel> self(this);
    const QPointer<AutomationService> service(scripts);
    // What the session manager's save waits for before it stores; once the end has begun, the
    // merges are abandoned and none of them is busy.
    end.addWait({tr("a restore"),
                 [self] {
                     return self && self->m_backupManager && self->m_backupManager->isRestoring()
                         && !(self->m_modelContainer && self->m_modelContainer->mergesAbandoned());
                 },
                 [self] {
                     return self->m_backupManager->restoresOver();
                 }});
    end.addWait({tr("a merge into the store"),
                 [self] { return self && self->m_modelContainer && self->m_modelContainer->isMerging(); },
                 [self] {
                     return self->m_modelContainer->mergesOver();
                 }});
    if (scripts) {
        end.addWait({tr("a script’s new profile"), [service] { return service && service->isStoring(); },
                     [service] {
                         return service->storesOver();
                     }});
    }
    connect(&end, &KivApp::ProgramEnd::ending, this, [self, service] {
        // Ended at once: the applies, the picture one of them decodes, and the scripts' other requests.
        ProfileOperationQueue::shared().endApplies();
        if (self && self->m_desktopBackgroundController)
            self->m_desktopBackgroundController->endPendingPicture();
        if (service)
            service->endRequests();
        // Stored at once: the scripts' profiles made by now are answered once their calls resume.
        if (self)
            self->storeAtOnce();
    });
    connect(&end, &KivApp::ProgramEnd::storing, this, &Tapestrel::saveWhatWaits);
    // The stores first: a script's profile is answered as stored only once it is.
    disconnect(m_quitWithoutEnd);
    connect(&end, &KivApp::ProgramEnd::finishing, this, [self, service](QDeadlineTimer mergesBy) {
        if (service)
            service->withdrawUnfinished();
        if (self)
            self->finishBeforeExit(mergesBy);
        if (service) {
            service->answerTheRest();
            service->answerLateCallsAsEnded();
        }
    });
    // A later quit without this end stores all the same, and merges run again.
    connect(&end, &QObject::destroyed, this, [self] {
        if (!self)
            return;
        if (!self->m_quitWithoutEnd)
            self->finishAtQuitWithoutEnd();
        if (self->m_modelContainer)
            self->m_modelContainer->resumeMerges();
    });
    // An end that came before this (while the start ran an event loop of its own) has only its last
    // step left, which it takes now.
    if (end.hasEnded())
        end.finishWithoutEventLoop();
}

void Tapestrel::finishAtQuitWithoutEnd()
{
    m_quitWithoutEnd = connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                               [this] { finishBeforeExit(); });
}

Tapestrel::~Tapestrel() = default;

KivIntroduction::IntroductionController &Tapestrel::introductionController()
{
    if (!m_introductionController)
        m_introductionController = TapestrelIntroduction::makeController();
    return *m_introductionController;
}

bool Tapestrel::isIntroductionDue()
{
    return m_introductionController ? m_introductionController->isDue() : TapestrelIntroduction::isDue();
}

std::unique_ptr<ModelContainer> Tapestrel::openModelContainer(const QString &filePath)
{
    try {
        return std::make_unique<ModelContainer>(filePath);
    } catch (const ModelError &error) {
        qFatal("Could not create ModelContainer: %s", error.what());
    }
}

ModelContainer &Tapestrel::modelContainer()
{
    if (!m_modelContainer) {
        // Start-up has opened it already to see that it can be read.
        m_modelContainer = UnreadableStore::takeOpened(m_paths.path(Path::data));
        if (!m_modelContainer)
            m_modelContainer = openModelContainer(m_paths.path(Path::data));
    }
    return *m_modelContainer;
}

AutosaveController &Tapestrel::autosaveController()
{
    if (!m_autosaveController) {
        QPointer<Tapestrel> self(this);
        m_autosaveController = std::make_unique<AutosaveController>(3.0, false, &modelContainer(), [self] {
            if (!self)
                return;
            if (KivBackups::BackupPlanner *planner = self->backupPlanner())
                planner->run();
        });
    }
    return *m_autosaveController;
}

KivDesktopBackground::DesktopBackgroundController &Tapestrel::desktopBackgroundController()
{
    // On a desktop whose wallpaper the program reaches, the backgrounds are handed to it; its pictures
    // of gradients are kept in the data folder.
    if (!m_desktopBackgroundController) {
        m_desktopBackgroundController = std::make_unique<KivDesktopBackground::DesktopBackgroundController>(
            std::make_unique<KivDesktopBackground::SystemScreenSource>(),
            KivDesktopBackground::DesktopWallpaper::forCurrentDesktop(KivUtilities::DataPath::path()
                                                                      + QStringLiteral("/desktop-pictures")));
        // What the program's own windows show is kept for the next start; the desktop keeps its own.
        KivDesktopBackground::DesktopBackgroundController *controller = m_desktopBackgroundController.get();
        connect(controller, &KivDesktopBackground::DesktopBackgroundController::backgroundChanged, this,
                [controller](const std::optional<KivDesktopBackground::Background> &background) {
                    if (controller->isShownByDesktop())
                        return;
                    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
                    const QVariant value = background ? QVariant(background->rawValue()) : QVariant();
                    if (defaults.value(lastBackgroundKey) != value)
                        defaults.setValue(lastBackgroundKey, value);
                });
    }
    return *m_desktopBackgroundController;
}

KivBackups::BackupManager &Tapestrel::backupManager()
{
    if (!m_backupManager) {
        m_backupHandler = std::make_shared<TapestrelBackupHandler>(modelContainer().mainContext(),
                                                                   QStringLiteral("profiles.json"),
                                                                   QStringLiteral("backgrounds.json"));
        m_backupManager = std::make_unique<KivBackups::BackupManager>(
            KivBackups::BackupManager::Configuration {m_paths.path(Path::backups), QStringLiteral("tapback")},
            m_backupHandler);
    }
    return *m_backupManager;
}

KivBackups::BackupPlanner *Tapestrel::backupPlanner()
{
    if (!m_backupPlanner)
        m_backupPlanner = std::make_unique<KivBackups::BackupPlanner>(&backupManager());
    return m_backupPlanner.get();
}

TapestrelDataResetController &Tapestrel::dataResetController()
{
    if (!m_dataResetController) {
        TapestrelDataResetController::Steps steps;
        steps.makeLockedBackup = [this] {
            return backupManager().makeBackup(true);
        };
        steps.stopAutosave = [this] {
            m_autosaveController.reset();
        };
        steps.startAutosave = [this] {
            autosaveController().start();
        };
        steps.closeStore = [this] {
            backupManager();
            m_backupHandler->setModelContext(nullptr);
            m_modelContainer.reset();
        };
        steps.openStore = [this] {
            m_backupHandler->setModelContext(modelContainer().mainContext());
        };
        m_dataResetController =
            std::make_unique<TapestrelDataResetController>(m_paths.basePath(), std::move(steps));
    }
    return *m_dataResetController;
}

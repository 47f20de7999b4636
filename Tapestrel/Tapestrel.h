#pragma once

#include "KivApp/CloudKitStatusModel.h"
#include "KivUtilities/PathController.h"
#include "Tapestrel/Registries.h"
#include "Tapestrel/background/BackgroundsICloudCoordinator.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/ui/ProgramServices.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class AutomationService;
class AutosaveController;
class ProfileScheduler;
class ModelContainer;
class TapestrelBackupHandler;
class TapestrelDataResetController;

namespace KivApp {
class ProgramEnd;
}
namespace KivBackups {
class BackupManager;
class BackupPlanner;
} // namespace KivBackups
namespace KivDesktopBackground {
class DesktopBackgroundController;
}
namespace KivWhatsNew {
class WhatsNewController;
}
namespace KivIntroduction {
class IntroductionController;
}
class KivUpdates;

// The main controller: creates and owns the program's long-lived services and composes the
// registries. It is made once, on first use of shared(), and lives for the rest of the process; the
// windows are handed it as their services.
class Tapestrel
    : public QObject
    , public ProgramServices
{
    Q_OBJECT

public:
    // Entries below the data directory.
    enum class Path { backups, data, backgrounds };
    friend QString toRawValue(Path path)
    {
        switch (path) {
        case Path::backups:
            return QStringLiteral("backups");
        case Path::data:
            return QStringLiteral("data.sqlite");
        case Path::backgrounds:
            return QStringLiteral("backgrounds");
        }
        return QString();
    }

    // The program's instance; making it installs its option registry, Dock restart and globally
    // disabled options as the ones the profile engine uses.
    static Tapestrel &shared();
    // The profile store's file, known before the controller is made: start-up sees that it opens.
    static QString storePath();

    // Services in the order they are made. Tests may make their own instance.
    Tapestrel();
    ~Tapestrel() override;

    // The update checks, made first of all services: automatic, with one check at start.
    KivUpdates &updates() override { return *m_updates; }
    // The release notes, shown once after an update (from the start-up task) and on request.
    KivWhatsNew::WhatsNewController &whatsNewController() override { return *m_whatsNewController; }
    Defaults &defaults() override { return m_defaults; }
    SynchronizedOptionsStore &synchronizedOptionsStore() override { return *m_synchronizedOptionsStore; }
    const KivUtilities::PathController<Path> &paths() const { return m_paths; }
    QString dataFolder() const override { return m_paths.basePath(); }
    QString backupsFolder() const override { return m_paths.path(Path::backups); }
    // Where background images live, and their one-time move to the cloud drive.
    BackgroundsICloudCoordinator &backgroundsCoordinator() { return m_backgroundsCoordinator; }
    // The integrated applications and the option models, composed here.
    AppConfigStore &appConfigStore() override { return m_registries.appConfigStore(); }
    OptionStore &optionStore() override { return m_registries.optionStore(); }

    // The profile store "data.sqlite" in the data directory, opened on first use. A store that
    // cannot be opened stops the program with "Could not create ModelContainer: " and the reason.
    ModelContainer &modelContainer() override;
    // Saves the store every second, then lets the backup planner run; started by the constructor.
    AutosaveController &autosaveController();
    // The one controller of the desktop background windows, made on first use.
    KivDesktopBackground::DesktopBackgroundController &desktopBackgroundController() override;
    // The backups of profiles and custom backgrounds in the "backups" entry of the data directory,
    // made on first use and kept.
    KivBackups::BackupManager &backupManager() override;
    // The automatic backups over backupManager(), made on first use; never null.
    KivBackups::BackupPlanner *backupPlanner();
    // Resets the program's data: a locked backup first, then a fresh store in place of the old one.
    TapestrelDataResetController &dataResetController() override;
    // The cloud sync status of the profile store, which the data settings show.
    KivApp::CloudKitStatusModel &cloudKitStatusModel() override { return m_cloudKitStatusModel; }
    // The introduction of the first start, made on first use.
    KivIntroduction::IntroductionController &introductionController() override;
    // The introduction's controller when it was made, otherwise null.
    KivIntroduction::IntroductionController *madeIntroductionController() override
    {
        return m_introductionController.get();
    }
    // Whether the introduction is due; makes no controller.
    bool isIntroductionDue() override;
    // Applies the scheduled profiles at their times of day; made by the constructor.
    ProfileScheduler &profileScheduler() { return *m_profileScheduler; }

    // The one place that tells the program's end (whoever asks for it) what to do with the work under
    // way. At its start, before any wait, it stores what the user changed and what scripts made,
    // abandoning the merges (a restore's among them) whole, and answers the scripts whose profiles are
    // stored; it ends the applies (with the decoding of their pictures) and every other request of a
    // script. Then it waits only for the new profiles of scripts (`scripts`, when given) still being
    // made. When the session manager asks to save without an end, the restores, the merges and the
    // new profiles are waited for and what waited is saved. Last, without an event loop, a profile
    // still being made is taken back, everything not yet stored is stored, the scripts answered and a
    // restore not done said, now and at the next start (finishBeforeExit()). An end that came before
    // this is joined (during the start) takes its last step at once.
    void joinEnd(KivApp::ProgramEnd &end, AutomationService *scripts = nullptr);
    // When the program ends, last: every change not yet stored is written, those waiting for a merge
    // included, once the merges have ended, waiting for a merge until `mergesBy` and abandoning it
    // then (it is rolled back). A restore that has not reached the store is said not to be done.
    void finishBeforeExit(QDeadlineTimer mergesBy = QDeadlineTimer(QDeadlineTimer::Forever));

    // Opens a store or stops the program with the message above.
    static std::unique_ptr<ModelContainer> openModelContainer(const QString &filePath);

private:
    // Where the program draws the desktop background in its own windows, shows the one they showed last
    // (a start then makes the windows); where the desktop keeps its wallpaper, changes nothing.
    void showLastBackground();
    void runStartUpTask();
    // Saves the changes of the store's contexts that nothing holds back (for the session manager).
    void saveWhatWaits();
    // At an end's start: abandons the merges and stores every pending change.
    void storeAtOnce();
    // Says each restore the end left undone, and keeps it for the next start to tell.
    void rememberUnfinishedRestores();
    // At start: tells the user, once, of each restore an end left undone, and how to do it again.
    void tellOfUnfinishedRestores();
    // Has a quit of the application (without an end joined) finish before the process exits.
    void finishAtQuitWithoutEnd();

    // Made first, before Defaults.
    std::unique_ptr<KivUpdates> m_updates;
    std::unique_ptr<KivWhatsNew::WhatsNewController> m_whatsNewController;
    Defaults m_defaults;
    std::unique_ptr<SynchronizedOptionsStore> m_synchronizedOptionsStore;
    KivUtilities::PathController<Path> m_paths;
    BackgroundsICloudCoordinator m_backgroundsCoordinator;
    Registries m_registries;
    // Then the main-window handler, the sync status over the store, and the profile scheduler.
    std::unique_ptr<ModelContainer> m_modelContainer;
    KivApp::CloudKitStatusModel m_cloudKitStatusModel;
    std::unique_ptr<AutosaveController> m_autosaveController;
    std::unique_ptr<ProfileScheduler> m_profileScheduler;
    std::unique_ptr<KivDesktopBackground::DesktopBackgroundController> m_desktopBackgroundController;
    std::shared_ptr<TapestrelBackupHandler> m_backupHandler;
    std::unique_ptr<KivBackups::BackupManager> m_backupManager;
    std::unique_ptr<KivBackups::BackupPlanner> m_backupPlanner;
    std::unique_ptr<TapestrelDataResetController> m_dataResetController;
    std::unique_ptr<KivIntroduction::IntroductionController> m_introductionController;
    // What stores the changes at a quit where no end was joined.
    QMetaObject::Connection m_quitWithoutEnd;
    // The restores an end has said were not done.
    QStringList m_toldUnfinished;
};

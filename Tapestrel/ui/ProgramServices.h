#pragma once

#include <QString>

class AppConfigStore;
class Defaults;
class ModelContainer;
class OptionStore;
class SynchronizedOptionsStore;
class TapestrelDataResetController;
class KivUpdates;
namespace KivApp {
class CloudKitStatusModel;
}
namespace KivBackups {
class BackupManager;
}
namespace KivDesktopBackground {
class DesktopBackgroundController;
}
namespace KivIntroduction {
class IntroductionController;
}
namespace KivWhatsNew {
class WhatsNewController;
}

// What the program's windows use of the long-lived services that the main controller owns. The
// controller implements it and is handed to the windows, which never look it up themselves.
class ProgramServices
{
public:
    virtual ~ProgramServices() = default;

    virtual Defaults &defaults() = 0;
    virtual SynchronizedOptionsStore &synchronizedOptionsStore() = 0;
    virtual AppConfigStore &appConfigStore() = 0;
    virtual OptionStore &optionStore() = 0;
    // The profile store, opened on first use.
    virtual ModelContainer &modelContainer() = 0;
    // The folder of the program's data, and the one of its backups in it.
    virtual QString dataFolder() const = 0;
    virtual QString backupsFolder() const = 0;
    virtual KivBackups::BackupManager &backupManager() = 0;
    virtual TapestrelDataResetController &dataResetController() = 0;
    virtual KivApp::CloudKitStatusModel &cloudKitStatusModel() = 0;
    virtual KivDesktopBackground::DesktopBackgroundController &desktopBackgroundController() = 0;
    virtual KivUpdates &updates() = 0;
    virtual KivWhatsNew::WhatsNewController &whatsNewController() = 0;
    // The introduction of the first start: its controller, made on first use; the one made so far,
    // or null; and whether it is due, which makes no controller.
    virtual KivIntroduction::IntroductionController &introductionController() = 0;
    virtual KivIntroduction::IntroductionController *madeIntroductionController() = 0;
    virtual bool isIntroductionDue() = 0;

protected:
    ProgramServices() = default;
    ProgramServices(const ProgramServices &) = delete;
    ProgramServices &operator=(const ProgramServices &) = delete;
};

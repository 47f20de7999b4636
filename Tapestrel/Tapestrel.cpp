#include "Tapestrel/Tapestrel.h"

#include "KivBackups/BackupPlanner.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "KivUtilities/DataPath.h"
#include "Tapestrel/model/AutosaveController.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/PredefinedProfileController.h"
#include "platform/CloudKeyValueStore.h"

#include <QTimer>
#include <QtGlobal>

Tapestrel &Tapestrel::shared()
{
    // Never destroyed: services are used until the very end of the process.
    static Tapestrel *instance = new Tapestrel();
    return *instance;
}

Tapestrel::Tapestrel()
    : m_synchronizedOptionsStore(
        std::make_unique<SynchronizedOptionsStore>(Platform::CloudKeyValueStore::defaultStore()))
    , m_paths(KivUtilities::DataPath::path())
    , m_backgroundsCoordinator(m_paths.path(Path::backgrounds))
{
    autosaveController().start();
    // The start-up task (moving background images to the cloud drive, importing the predefined
    // profiles once, the release notes) is started here, last. It runs once the constructor has
    // returned, on the GUI thread, and not at all when the controller is gone before.
    QTimer::singleShot(0, this, &Tapestrel::runStartUpTask);
}

void Tapestrel::runStartUpTask()
{
    // Before anything reads the backgrounds: the values must point at the moved files.
    m_backgroundsCoordinator.migrateToICloudDriveIfNeeded(modelContainer());
    PredefinedProfileController(modelContainer().mainContext(),
                                m_backgroundsCoordinator.wallpapersFolderPath())
        .importIfNeeded();
}

Tapestrel::~Tapestrel() = default;

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
    if (!m_modelContainer)
        m_modelContainer = openModelContainer(m_paths.path(Path::data));
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
    if (!m_desktopBackgroundController)
        m_desktopBackgroundController = std::make_unique<KivDesktopBackground::DesktopBackgroundController>();
    return *m_desktopBackgroundController;
}

KivBackups::BackupPlanner *Tapestrel::backupPlanner()
{
    return nullptr;
}

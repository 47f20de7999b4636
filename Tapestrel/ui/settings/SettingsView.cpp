#include "SettingsView.h"

#include "GeneralSettingsView.h"
#include "SimpleBackupsSettingsView.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/ui/settings/AppSettingsView.h"
#include "Tapestrel/ui/settings/AutomationView.h"
#include "Tapestrel/ui/settings/DisabledOptionsView.h"

#include "KivApp/DataSettingsView.h"
#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/backup/TapestrelDataResetController.h"

KitDataResetController::KitDataResetController(TapestrelDataResetController &controller)
    : m_controller(controller)
{ }

QCoro::Task<void> KitDataResetController::reset()
{
    co_await m_controller.reset();
}

SettingsView::SettingsView(Tapestrel &controller, QWidget *parent)
    : KivApp::SettingsWindow(windowWidth, parent)
    , m_resetController(std::make_unique<KitDataResetController>(controller.dataResetController()))
{
    addPage(new GeneralSettingsView(&controller.defaults()));
    // Pages of their own classes go here, in their tab order.
    addPage(new AutomationView(&controller.synchronizedOptionsStore(),
                               [&controller] { return controller.modelContainer().mainContext(); }));
    addPage(new AppSettingsView(controller.appConfigStore()));
    addPage(new DisabledOptionsView(&controller.synchronizedOptionsStore(), &controller.optionStore()));
    addPage(new SimpleBackupsSettingsView(controller.backupManager()));

    const auto &paths = controller.paths();
    const QList<KivApp::DataDirectory> directories = {
        {tr("Data"), paths.basePath()},
        {tr("Backups"), paths.path(Tapestrel::Path::backups)},
    };
    // This program keeps no cloud copy to go back to, so the reset stays hidden.
    addPage(new KivApp::DataSettingsView(&controller.cloudKitStatusModel(), directories,
                                         m_resetController.get(), false));
}

SettingsView::~SettingsView() = default;

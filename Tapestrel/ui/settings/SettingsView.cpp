#include "SettingsView.h"

#include "GeneralSettingsView.h"
#include "SimpleBackupsSettingsView.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/ui/settings/AppSettingsView.h"
#include "Tapestrel/ui/settings/AutomationView.h"
#include "Tapestrel/ui/settings/DisabledOptionsView.h"

#include "KivApp/DataSettingsView.h"
#include "Tapestrel/backup/TapestrelDataResetController.h"
#include "Tapestrel/ui/ProgramServices.h"

KitDataResetController::KitDataResetController(TapestrelDataResetController &controller)
    : m_controller(controller)
{ }

QCoro::Task<void> KitDataResetController::reset()
{
    co_await m_controller.reset();
}

SettingsView::SettingsView(ProgramServices &services, QWidget *parent)
    : KivApp::SettingsWindow(windowWidth, parent)
    , m_resetController(std::make_unique<KitDataResetController>(services.dataResetController()))
{
    addPage(new GeneralSettingsView(&services.defaults()));
    // Pages of their own classes go here, in their tab order.
    addPage(new AutomationView(&services.synchronizedOptionsStore(),
                               [&services] { return services.modelContainer().mainContext(); }));
    addPage(new AppSettingsView(services.appConfigStore()));
    addPage(new DisabledOptionsView(&services.synchronizedOptionsStore(), &services.optionStore()));
    addPage(new SimpleBackupsSettingsView(services.backupManager()));

    const QList<KivApp::DataDirectory> directories = {
        {tr("Data"), services.dataFolder()},
        {tr("Backups"), services.backupsFolder()},
    };
    // This program keeps no cloud copy to go back to, so the reset stays hidden.
    addPage(new KivApp::DataSettingsView(&services.cloudKitStatusModel(), directories,
                                         m_resetController.get(), false));
}

SettingsView::~SettingsView() = default;

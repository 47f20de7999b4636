#include "KivApp/ProgramEnd.h"
#include "KivBackups/BackupManager.h"
#include "KivUtilities/Detached.h"
#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "platform/SessionBusTypes.h"

#include <QApplication>
#include <QDBusConnection>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

// A rehearsal of the program's end, for the tests: the program's own controller, scripting service and
// end, made as main() makes them, over the emulated home of the test that starts it. It restores the
// backup its argument names (none for "-"), saves an edit as the window would meanwhile, and once a
// script's new profile is made (and waits for the restore), says "ready" on standard output ("late"
// when the restore has ended by then). It leaves right after its event loop, without the clean-up of
// an ordinary exit: what it stores and answers must be out by then.
int main(int argc, char *argv[])
{
    Platform::registerSessionBusTypes();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tapestrel"));
    QApplication::setOrganizationDomain(QStringLiteral("quorvane.com"));
    KivApp::ProgramEnd end;
    end.followEveryEnd(QDBusConnection::sessionBus());
    Tapestrel &controller = Tapestrel::shared();
    const auto automation = AutomationService::startForProgram(
        [&controller] { return controller.modelContainer().mainContext(); }, nullptr);
    controller.joinEnd(end, automation.get());

    KivBackups::BackupManager &manager = controller.backupManager();
    const QString name = QString::fromLocal8Bit(argc > 1 ? argv[1] : "");
    for (const KivBackups::Backup &backup : manager.backups()) {
        if (backup.url.fileName() == name)
            KivUtilities::detached(manager.restore(backup), "EndRehearsal");
    }
    const bool restores = name != QLatin1String("-");
    if (restores && !manager.isRestoring()) {
        std::fprintf(stderr, "end-rehearsal: no backup “%s”\n", qPrintable(name));
        return 2;
    }
    ModelContext *context = controller.modelContainer().mainContext();
    context->insert(std::make_unique<Profile>(QStringLiteral("Window edit")));
    context->save();

    // A script's profile is made (filled, or still being filled) and waits.
    bool made = false;
    QObject::connect(context, &ModelContext::profilesChanged, [&] { made = automation->isStoring(); });
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!made)
            return;
        watch.stop();
        std::printf(manager.isRestoring() || !restores ? "ready\n" : "late\n");
        std::fflush(stdout);
    });
    watch.start(5);
    const int code = QApplication::exec();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

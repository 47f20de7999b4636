#include "KivDesktopBackground/DisplayPlatform.h"
#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/automation/CommandLineClient.h"
#include "Tapestrel/backup/PredefinedProfileController.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/system/DefaultDesktopPicture.h"
#include "Tapestrel/ui/AppInfo.h"
#include "Tapestrel/ui/StartupMarks.h"
#include "Tapestrel/ui/TapestrelApp.h"

#include "platform/AtomicFile.h"
#include "platform/Home.h"
#include "platform/SessionBusTypes.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    StartupMarks::mark("main");
    // Before the command line or the program connects to the bus, whose thread starts at once.
    Platform::registerSessionBusTypes();
    // "tapestrel apply <id>", the other commands, "--help" and arguments that are not understood are
    // answered without starting the program.
    if (const std::optional<int> exitCode = CommandLineClient::run(argc, argv))
        return *exitCode;
    // Backgrounds need X11 desktop windows: under Wayland the program runs on XWayland when it can.
    KivDesktopBackground::chooseX11UnderWayland(argc, argv);
    QApplication application(argc, argv);
    StartupMarks::mark("QApplication");
    // Before anything reads the preference domains: an exchange of one that a killed writer left half
    // done is finished, so that another program's save taken out of place is in place again.
    Platform::AtomicFile::finishInterruptedIn(Platform::Home::preferencesFolder());
    TapestrelApp::configure(application, AppInfo::buildVersion());
    // Before anything reads the desktop: a fresh home has the picture a fresh desktop shows.
    DefaultDesktopPicture::installIfMissing(
        PredefinedProfileController::pictureResource(PredefinedProfileController::pictureNames.first()));
    StartupMarks::mark("desktop picture");

    TapestrelApp app(Tapestrel::storePath(), []() -> ProgramServices & { return Tapestrel::shared(); });
    if (!app.start(QCoreApplication::arguments()))
        return 0;
    const auto automation = AutomationService::startForProgram(
        [] { return Tapestrel::shared().modelContainer().mainContext(); }, &app.selection());
    StartupMarks::mark("automation");
    return QApplication::exec();
}

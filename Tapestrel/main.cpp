#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/automation/CommandLineClient.h"
#include "Tapestrel/ui/TapestrelApp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // "tapestrel apply <id>" and the other commands talk to the running program and end.
    if (const std::optional<int> exitCode = CommandLineClient::run(argc, argv))
        return *exitCode;
    QApplication application(argc, argv);
    TapestrelApp::configure(application, QStringLiteral(TAPESTREL_VERSION));

    TapestrelApp app;
    if (!app.start(QCoreApplication::arguments()))
        return 0;
    const auto automation = AutomationService::startForProgram(&app.selection());
    return QApplication::exec();
}

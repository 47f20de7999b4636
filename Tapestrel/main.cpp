#include "Tapestrel/ui/TapestrelApp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    TapestrelApp::configure(application, QStringLiteral(TAPESTREL_VERSION));

    TapestrelApp app;
    if (!app.start(QCoreApplication::arguments()))
        return 0;
    return QApplication::exec();
}

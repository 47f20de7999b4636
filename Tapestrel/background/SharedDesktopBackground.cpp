#include "Tapestrel/background/SharedDesktopBackground.h"

#include "KivDesktopBackground/DesktopBackgroundController.h"

#include <QCoreApplication>
#include <QPointer>

using KivDesktopBackground::DesktopBackgroundController;

namespace {

QPointer<DesktopBackgroundController> &current()
{
    static QPointer<DesktopBackgroundController> controller;
    return controller;
}

} // namespace

DesktopBackgroundController &sharedDesktopBackgroundController()
{
    QPointer<DesktopBackgroundController> &controller = current();
    if (!controller) {
        controller = new DesktopBackgroundController();
        // Its windows must go while the application still exists, not with the static storage.
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, controller.data(),
                         [] { delete current().data(); });
    }
    return *controller;
}

void setSharedDesktopBackgroundController(DesktopBackgroundController *controller)
{
    current() = controller;
}

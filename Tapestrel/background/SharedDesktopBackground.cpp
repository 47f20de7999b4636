#include "Tapestrel/background/SharedDesktopBackground.h"

#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "Tapestrel/Tapestrel.h"

#include <QPointer>

using KivDesktopBackground::DesktopBackgroundController;

namespace {

QPointer<DesktopBackgroundController> &replacement()
{
    static QPointer<DesktopBackgroundController> controller;
    return controller;
}

} // namespace

DesktopBackgroundController &sharedDesktopBackgroundController()
{
    if (DesktopBackgroundController *controller = replacement())
        return *controller;
    return Tapestrel::shared().desktopBackgroundController();
}

void setSharedDesktopBackgroundController(DesktopBackgroundController *controller)
{
    replacement() = controller;
}

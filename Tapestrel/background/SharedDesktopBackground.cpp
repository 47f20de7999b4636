#include "Tapestrel/background/SharedDesktopBackground.h"

#include "KivDesktopBackground/DesktopBackgroundController.h"

#include <QPointer>

using KivDesktopBackground::DesktopBackgroundController;

namespace {

QPointer<DesktopBackgroundController> &replacement()
{
    static QPointer<DesktopBackgroundController> controller;
    return controller;
}

std::function<DesktopBackgroundController &()> &source()
{
    static std::function<DesktopBackgroundController &()> installed;
    return installed;
}

} // namespace

DesktopBackgroundController &sharedDesktopBackgroundController()
{
    if (DesktopBackgroundController *controller = replacement())
        return *controller;
    if (source())
        return source()();
    // A process without the main controller (a tool, a test) shows what it applies in windows of its
    // own. Never destroyed, like the main controller's: used until the very end of the process.
    static auto *own = new DesktopBackgroundController();
    return *own;
}

void setSharedDesktopBackgroundSource(std::function<DesktopBackgroundController &()> controllerSource)
{
    source() = std::move(controllerSource);
}

void setSharedDesktopBackgroundController(DesktopBackgroundController *controller)
{
    replacement() = controller;
}

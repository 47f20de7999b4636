#pragma once

namespace KivDesktopBackground {
class DesktopBackgroundController;
}

// The controller whose windows show the program's background: the main controller's one, unless a
// replacement is in place. GUI thread only.
KivDesktopBackground::DesktopBackgroundController &sharedDesktopBackgroundController();

// Puts another controller in place of the main controller's (tests use one with fake screens); it
// is not owned. nullptr goes back to the main controller's.
void setSharedDesktopBackgroundController(KivDesktopBackground::DesktopBackgroundController *controller);

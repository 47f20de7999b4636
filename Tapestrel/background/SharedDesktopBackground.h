#pragma once

namespace KivDesktopBackground {
class DesktopBackgroundController;
}

// The program's one DesktopBackgroundController: made on first use (showing nothing) and kept until
// the application quits. GUI thread only.
KivDesktopBackground::DesktopBackgroundController &sharedDesktopBackgroundController();

// Puts another controller in its place (tests use one with fake screens); it is not owned. nullptr
// goes back to the program's own, made on the next use.
void setSharedDesktopBackgroundController(KivDesktopBackground::DesktopBackgroundController *controller);

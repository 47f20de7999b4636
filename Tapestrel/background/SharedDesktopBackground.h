#pragma once

#include <functional>

namespace KivDesktopBackground {
class DesktopBackgroundController;
}

// The controller whose windows show the program's background: a replacement if one is in place,
// else the one the main controller installed, else one of this process's own. GUI thread only.
KivDesktopBackground::DesktopBackgroundController &sharedDesktopBackgroundController();

// The main controller installs where its controller comes from; the source is asked at each use, so
// the controller (and its windows) is made only when something shows a background.
void setSharedDesktopBackgroundSource(std::function<KivDesktopBackground::DesktopBackgroundController &()> source);

// Puts another controller in place of the installed one (tests use one with fake screens); it is not
// owned. nullptr goes back to the installed one.
void setSharedDesktopBackgroundController(KivDesktopBackground::DesktopBackgroundController *controller);

#pragma once

#include <QProcessEnvironment>
#include <QStringList>

namespace KivDesktopBackground {

// Wayland gives clients no way to put a window beneath the others on the desktop, but XWayland
// honours the X11 desktop window type. So in a Wayland session with an X server at hand, and when
// the user chose no Qt platform themselves (QT_QPA_PLATFORM or -platform), the program runs on X11.
// `arguments` are the command line as given to the program. Returns whether X11 is to be chosen.
bool prefersX11UnderWayland(const QStringList &arguments, const QProcessEnvironment &environment);

// Sets the Qt platform to X11 when prefersX11UnderWayland() says so, for the current process's
// command line and environment. Call before the application object is made.
void chooseX11UnderWayland(int argc, char **argv);

} // namespace KivDesktopBackground

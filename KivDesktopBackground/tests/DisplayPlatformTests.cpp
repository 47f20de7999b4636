#include "KivDesktopBackground/DisplayPlatform.h"

#include <gtest/gtest.h>

TEST(DisplayPlatform, X11IsChosenOnlyInAWaylandSessionWithAnXServerAndNoChoiceOfTheUser)
{
    const struct
    {
        const char *what;
        QStringList arguments;
        QStringList environment;
        bool x11;
    } cases[] = {
        {"Wayland session with XWayland", {}, {"XDG_SESSION_TYPE=wayland", "DISPLAY=:0"}, true},
        {"Wayland display only", {}, {"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:1"}, true},
        {"no X server", {}, {"XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-0"}, false},
        {"X11 session", {}, {"XDG_SESSION_TYPE=x11", "DISPLAY=:0"}, false},
        {"platform chosen in the environment", {},
         {"XDG_SESSION_TYPE=wayland", "DISPLAY=:0", "QT_QPA_PLATFORM=wayland"}, false},
        {"platform chosen on the command line", {"-platform", "wayland"},
         {"XDG_SESSION_TYPE=wayland", "DISPLAY=:0"}, false},
        {"platform chosen with =", {"--platform=offscreen"}, {"WAYLAND_DISPLAY=w", "DISPLAY=:0"}, false},
        {"other arguments", {"--show-profile", "X"}, {"WAYLAND_DISPLAY=w", "DISPLAY=:0"}, true},
    };
    for (const auto &c : cases) {
        QProcessEnvironment environment;
        for (const QString &entry : c.environment)
            environment.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        EXPECT_EQ(KivDesktopBackground::prefersX11UnderWayland(c.arguments, environment), c.x11) << c.what;
    }
}

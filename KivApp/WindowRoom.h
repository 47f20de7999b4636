#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QScreen;

namespace KivApp {

// Where on a screen a window can lie in full, so that no window opens larger than that. Desktops whose
// panels and docks tell the window system what they take (a work area) have the screen's available
// area as the room. A Wayland compositor, and an X server whose window manager publishes no work area,
// give the whole screen as available though a panel may still take part of it, and then place windows
// out of its way: the room leaves `panelAllowance` points of the screen's height to such a panel,
// half at the top and half at the bottom.
class WindowRoom
{
public:
    static constexpr int panelAllowance = 48;
    // What a window manager draws around a decorated window's contents, as far as it can be known
    // before the window is shown: a title bar.
    static constexpr QMargins titleBar {0, 40, 0, 0};

    // The room on the screen (the primary screen when none is given); empty without a screen.
    static QRect of(const QScreen *screen);
    // The room on a screen of `geometry` whose available area is `available`.
    static QRect of(const QRect &geometry, const QRect &available);

    // The frame of a window (its contents and the `decoration` that the window manager draws around
    // them) whose contents ask for `size`: as large as asked where the room allows, as large as the
    // room where it does not, and centred in the room.
    static QRect frame(const QSize &size, const QRect &room, const QMargins &decoration = {});
};

} // namespace KivApp

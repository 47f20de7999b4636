#include "KivApp/WindowRoom.h"

#include <QGuiApplication>
#include <QScreen>

namespace KivApp {

QRect WindowRoom::of(const QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? of(screen->geometry(), screen->availableGeometry()) : QRect();
}

QRect WindowRoom::of(const QRect &geometry, const QRect &available)
{
    if (available != geometry)
        return available;
    return geometry.adjusted(0, panelAllowance / 2, 0, -(panelAllowance - panelAllowance / 2));
}

QRect WindowRoom::frame(const QSize &size, const QRect &room, const QMargins &decoration)
{
    QRect frame(QPoint(), size.grownBy(decoration).boundedTo(room.size()));
    frame.moveCenter(room.center());
    return frame;
}

} // namespace KivApp

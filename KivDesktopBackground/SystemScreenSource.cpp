#include "KivDesktopBackground/SystemScreenSource.h"

#include "KivDesktopBackground/X11Desktop.h"
#include "KivDesktopBackground/X11DesktopWatcher.h"

#include <QGuiApplication>

namespace KivDesktopBackground {

SystemScreenSource::SystemScreenSource(QObject *parent)
    : ScreenSource(parent)
{
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watch(screen);
        emit screensChanged();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenSource::screensChanged);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ScreenSource::screensChanged);
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    if (X11Desktop::isAvailable()) {
        m_desktopWatcher = new X11DesktopWatcher(this);
        connect(m_desktopWatcher, &X11DesktopWatcher::currentDesktopChanged, this,
                &ScreenSource::activeSpaceChanged);
    }
}

SystemScreenSource::~SystemScreenSource() = default;

void SystemScreenSource::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &ScreenSource::screensChanged);
}

QList<ScreenInfo> SystemScreenSource::screens() const
{
    QList<ScreenInfo> result;
    for (QScreen *screen : QGuiApplication::screens())
        result.append(ScreenInfo {screen->name(), std::nullopt, screen->geometry(), screen});
    return result;
}

bool SystemScreenSource::compositingActive() const
{
    // Only X11 can be without one; other platforms this module runs on always blend.
    return X11Desktop::isAvailable() ? X11Desktop::compositingActive() : true;
}

} // namespace KivDesktopBackground

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
        // A window manager may show its frame a moment before the window inside it, which the root
        // hears nothing of: look a while after the first notice, seeing all that came meanwhile.
        m_otherDesktopLook = new QTimer(this);
        m_otherDesktopLook->setSingleShot(true);
        m_otherDesktopLook->setInterval(otherDesktopDelayMs);
        connect(m_otherDesktopLook, &QTimer::timeout, this, &SystemScreenSource::lookForOtherDesktop);
        connect(m_desktopWatcher, &X11DesktopWatcher::windowsChanged, this, [this] {
            if (!m_otherDesktopLook->isActive())
                m_otherDesktopLook->start();
        });
        m_otherDesktop = X11Desktop::otherDesktopWindow();
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

void SystemScreenSource::lookForOtherDesktop()
{
    std::optional<QString> found = X11Desktop::otherDesktopWindow();
    if (found == m_otherDesktop)
        return;
    m_otherDesktop = std::move(found);
    emit otherDesktopChanged();
}

} // namespace KivDesktopBackground

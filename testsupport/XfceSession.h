#pragma once

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct xcb_connection_t;

namespace TestSupport {

// Xfce's desktop for one test, never the user's: an X server of its own (Xvfb), Xfce's window manager
// (xfwm4), xfconf's daemon on the environment's session bus and xfdesktop, which draws the background and
// its icons. Everything runs in the given environment (a temporary home and XDG folders); the test's
// programs join the session through environment(). Ends what it started.
class XfceSession
{
public:
    explicit XfceSession(QProcessEnvironment environment);
    ~XfceSession();
    XfceSession(const XfceSession &) = delete;
    XfceSession &operator=(const XfceSession &) = delete;

    // Starts them all and waits until xfdesktop has drawn; false, with error(), when one did not start.
    bool start();
    QString error() const { return m_error; }

    // The given environment, with the session's display.
    QProcessEnvironment environment() const { return m_environment; }

    // What the screen shows.
    QImage screen() const;
    // The number of colours where xfdesktop puts its first icons: a plain background has one, icons many.
    static int iconColours(const QImage &screen);
    // What "xfconf-query -c xfce4-desktop <arguments>" writes.
    QString desktopSettings(const QStringList &arguments) const;

private:
    bool started(QProcess &process, const QString &program, const QStringList &arguments);

    QProcessEnvironment m_environment;
    QProcess m_server;
    QProcess m_settings;
    QProcess m_windowManager;
    QProcess m_desktop;
    xcb_connection_t *m_connection = nullptr;
    QString m_error;
};

} // namespace TestSupport

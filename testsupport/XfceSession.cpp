#include "testsupport/XfceSession.h"

#include "testsupport/RunProcess.h"
#include "testsupport/RunTask.h"

#include <QFile>
#include <QSet>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace TestSupport {

namespace {

using namespace std::chrono_literals;

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_window_t rootOf(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The program the session bus would start for xfconf's settings.
QString settingsDaemon()
{
    QFile service(QStringLiteral("/usr/share/dbus-1/services/org.xfce.Xfconf.service"));
    if (!service.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : service.readAll().split('\n')) {
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line.mid(5).trimmed());
    }
    return {};
}

void end(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(10000);
}

} // namespace

XfceSession::XfceSession(const QString &busAddress, QProcessEnvironment environment)
    : m_environment(std::move(environment))
{
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    m_environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
    m_environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
}

XfceSession::~XfceSession()
{
    end(m_desktop);
    end(m_windowManager);
    end(m_settings);
    if (m_connection)
        xcb_disconnect(m_connection);
    end(m_server);
}

bool XfceSession::started(QProcess &process, const QString &program, const QStringList &arguments)
{
    // GTK's own settings from the installed schemas, kept in memory: never the user's, and never a
    // test's schemas, which lack what GTK asks for.
    QProcessEnvironment environment = m_environment;
    environment.remove(QStringLiteral("GSETTINGS_SCHEMA_DIR"));
    environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (process.waitForStarted(10000))
        return true;
    m_error = program + QStringLiteral(": ") + process.errorString();
    return false;
}

bool XfceSession::start()
{
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp")});
    if (!m_server.waitForStarted(10000) || !waitUntil([this] { return m_server.canReadLine(); }, 30s)) {
        m_error = QStringLiteral("Xvfb did not start");
        return false;
    }
    const QByteArray display = ':' + m_server.readLine().trimmed();
    m_environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    // A new server may drop a connection while it still sets itself up.
    for (int attempt = 0; attempt < 100 && !m_connection; ++attempt) {
        xcb_connection_t *connection = xcb_connect(display.constData(), nullptr);
        if (!xcb_connection_has_error(connection)) {
            if (void *answer =
                    xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)) {
                std::free(answer);
                m_connection = connection;
                break;
            }
        }
        xcb_disconnect(connection);
        QThread::msleep(50);
    }
    if (!m_connection) {
        m_error = QStringLiteral("Xvfb does not answer");
        return false;
    }

    const QString daemon = settingsDaemon();
    if (daemon.isEmpty() || !started(m_settings, daemon, {}))
        return m_error = QStringLiteral("no xfconfd (xfconf): ") + m_error, false;
    const auto listed = [this] {
        return runProcess(QStringLiteral("xfconf-query"),
                          {QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-l")},
                          m_environment, 10s)
                   .exitCode
            == 0;
    };
    if (!waitUntil(listed, 30s))
        return m_error = QStringLiteral("xfconfd does not answer"), false;

    // Without its compositor, which a test's screen does not need.
    if (!started(m_windowManager, QStringLiteral("xfwm4"),
                 {QStringLiteral("--sm-client-disable"), QStringLiteral("--compositor=off")}))
        return false;
    const xcb_atom_t managed = atom(m_connection, "_NET_SUPPORTING_WM_CHECK");
    const auto isManaged = [this, managed] {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, rootOf(m_connection), managed, XCB_ATOM_WINDOW, 0, 1),
            nullptr));
        return reply && reply->value_len > 0;
    };
    if (!waitUntil(isManaged, 30s))
        return m_error = QStringLiteral("xfwm4 does not manage the screen"), false;

    const QImage before = screen();
    if (!started(m_desktop, QStringLiteral("xfdesktop"), {QStringLiteral("--sm-client-disable")}))
        return false;
    // Its background, then its icons: done once the screen changed and then stays as it is a while.
    const auto settled = [this, &before] {
        const QImage now = screen();
        spinEventLoop(500ms);
        return !now.isNull() && now != before && now == screen();
    };
    if (!waitUntil(settled, 60s))
        return m_error = QStringLiteral("xfdesktop shows nothing, or keeps drawing"), false;
    return true;
}

QImage XfceSession::screen() const
{
    if (!m_connection)
        return {};
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const Reply<xcb_get_image_reply_t> image(
        xcb_get_image_reply(m_connection,
                            xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0,
                                          screen->width_in_pixels, screen->height_in_pixels, ~0u),
                            nullptr));
    // A screen of 24 bits a pixel comes in 32-bit words, blue first.
    if (!image || image->depth != 24
        || xcb_get_image_data_length(image.get()) < screen->width_in_pixels * screen->height_in_pixels * 4)
        return {};
    return QImage(xcb_get_image_data(image.get()), screen->width_in_pixels, screen->height_in_pixels,
                  QImage::Format_RGB32)
        .copy();
}

bool XfceSession::waitForScreen(const std::function<bool(const QImage &)> &check,
                                std::chrono::milliseconds timeout) const
{
    return waitUntil([&] { return check(screen()); }, timeout);
}

QString XfceSession::desktopSettings(const QStringList &arguments) const
{
    return runProcess(QStringLiteral("xfconf-query"),
                      QStringList {QStringLiteral("-c"), QStringLiteral("xfce4-desktop")} + arguments,
                      m_environment, 10s)
        .out;
}

int XfceSession::colours(const QImage &image, const QRect &area)
{
    QSet<QRgb> seen;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            seen.insert(image.pixel(x, y));
    }
    return int(seen.size());
}

} // namespace TestSupport

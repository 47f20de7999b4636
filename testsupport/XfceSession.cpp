#include "testsupport/XfceSession.h"

#include "testsupport/RunProcess.h"
#include "testsupport/RunTask.h"

#include <QSet>
#include <QSettings>

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

void end(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(10000);
}

} // namespace

XfceSession::XfceSession(QProcessEnvironment environment)
    : m_environment(std::move(environment))
{
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
    if (!m_server.waitForStarted(10000) || !waitUntil([this] { return m_server.canReadLine(); }, 30s))
        return m_error = QStringLiteral("Xvfb did not start"), false;
    const QByteArray display = ':' + m_server.readLine().trimmed();
    m_environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    // A new server may drop a connection while it still sets itself up.
    const auto connected = [this, &display] {
        m_connection = xcb_connect(display.constData(), nullptr);
        if (const Reply<xcb_get_input_focus_reply_t> answer(
                xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
            answer && !xcb_connection_has_error(m_connection))
            return true;
        xcb_disconnect(std::exchange(m_connection, nullptr));
        return false;
    };
    if (!waitUntil(connected, 10s))
        return m_error = QStringLiteral("Xvfb does not answer"), false;

    // The program the session bus would start for xfconf's settings.
    const QString daemon =
        QSettings(QStringLiteral("/usr/share/dbus-1/services/org.xfce.Xfconf.service"), QSettings::IniFormat)
            .value(QStringLiteral("D-BUS Service/Exec"))
            .toString();
    if (daemon.isEmpty() || !started(m_settings, daemon, {}))
        return m_error = QStringLiteral("no xfconfd (xfconf): ") + m_error, false;
    const auto answers = [this] {
        return runProcess(QStringLiteral("xfconf-query"), {QStringLiteral("-l")}, m_environment, 10s).exitCode
            == 0;
    };
    if (!waitUntil(answers, 30s))
        return m_error = QStringLiteral("xfconfd does not answer"), false;

    // Without its compositor, which a test's screen does not need.
    if (!started(m_windowManager, QStringLiteral("xfwm4"),
                 {QStringLiteral("--sm-client-disable"), QStringLiteral("--compositor=off")}))
        return false;
    const auto isManaged = [this] {
        const char name[] = "_NET_SUPPORTING_WM_CHECK";
        const Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, sizeof name - 1, name), nullptr));
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0,
                             xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root,
                             atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE), XCB_ATOM_WINDOW, 0, 1),
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

int XfceSession::iconColours(const QImage &screen)
{
    const QImage area = screen.copy(QRect(0, 0, 140, 320) & screen.rect());
    const auto *pixels = reinterpret_cast<const QRgb *>(area.constBits());
    return int(QSet<QRgb>(pixels, pixels + area.width() * area.height()).size());
}

QString XfceSession::desktopSettings(const QStringList &arguments) const
{
    return runProcess(QStringLiteral("xfconf-query"),
                      QStringList {QStringLiteral("-c"), QStringLiteral("xfce4-desktop")} + arguments,
                      m_environment, 10s)
        .out;
}

} // namespace TestSupport

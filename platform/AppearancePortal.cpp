#include "platform/AppearancePortal.h"

#include "platform/LinuxDesktop.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QMutexLocker>
#include <QThread>

namespace Platform {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

// The portal wraps its values in variants, and Read one level deeper than the signal. "No
// preference" (0) says nothing about how the desktop looks: the application decides.
std::optional<bool> darkFromValue(QVariant value)
{
    for (int depth = 0; depth < 4 && value.canConvert<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = value.toUInt(&ok);
    if (!ok || (scheme != 1 && scheme != 2))
        return std::nullopt;
    return scheme == 1;
}

QMutex selectionMutex;
std::optional<std::shared_ptr<AppearancePortal>> selected;

} // namespace

AppearancePortal::AppearancePortal(const QDBusConnection &bus, std::chrono::milliseconds timeout)
    : m_bus(bus)
    , m_timeout(timeout)
{
    // The signal is delivered to the object's thread, which must have an event loop.
    if (QCoreApplication *application = QCoreApplication::instance();
        application && thread() != application->thread())
        moveToThread(application->thread());
    // The bus finds the slot's argument types by name, which they only have once registered.
    qRegisterMetaType<QDBusVariant>();
    m_bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                  SLOT(settingChanged(QString, QString, QDBusVariant)));
}

AppearancePortal::~AppearancePortal()
{
    m_bus.disconnect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                     SLOT(settingChanged(QString, QString, QDBusVariant)));
}

std::optional<bool> AppearancePortal::prefersDark()
{
    QMutexLocker asking(&m_askMutex);
    {
        QMutexLocker locker(&m_mutex);
        if (m_state != State::unasked)
            return m_dark;
    }
    QDBusMessage read =
        QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    read << appearanceGroup << colorSchemeKey;
    const QDBusMessage reply = m_bus.call(read, QDBus::Block, int(m_timeout.count()));
    QMutexLocker locker(&m_mutex);
    // A signal that came while the question was out is newer than the answer.
    if (m_state != State::unasked)
        return m_dark;
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        m_state = State::known;
        m_dark = darkFromValue(reply.arguments().constFirst());
    } else {
        m_state = State::silent;
        m_dark = std::nullopt;
    }
    return m_dark;
}

void AppearancePortal::settingChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    if (group != appearanceGroup || key != colorSchemeKey)
        return;
    {
        QMutexLocker locker(&m_mutex);
        m_state = State::known;
        m_dark = darkFromValue(QVariant::fromValue(value));
    }
    emit appearanceChanged();
}

std::shared_ptr<AppearancePortal> AppearancePortal::current()
{
    {
        QMutexLocker locker(&selectionMutex);
        if (selected)
            return *selected;
    }
    if (!LinuxDesktop::reachesRealDesktop())
        return nullptr;
    // Made once and kept to the end of the process, like the session bus it listens to.
    static auto *session = new std::shared_ptr<AppearancePortal>(
        std::make_shared<AppearancePortal>(QDBusConnection::sessionBus()));
    return *session;
}

void AppearancePortal::select(std::shared_ptr<AppearancePortal> portal)
{
    QMutexLocker locker(&selectionMutex);
    selected = std::move(portal);
}

void AppearancePortal::followEnvironment()
{
    QMutexLocker locker(&selectionMutex);
    selected.reset();
}

} // namespace Platform

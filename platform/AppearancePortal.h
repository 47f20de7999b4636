#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QMutex>
#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

namespace Platform {

// The desktop's appearance as the XDG desktop portal tells it, on any desktop that has a portal:
// "color-scheme" of "org.freedesktop.appearance" (1 prefers dark, 2 light, 0 neither). The value is asked
// for once, with a time-out, and then follows the portal's SettingChanged signal, so that a change made
// in the desktop's own settings is seen at once. A portal that does not answer in time is not asked
// again; a later signal from it is still followed.
//
// prefersDark() may be called from any thread; the signal arrives on the thread of the application.
class AppearancePortal : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTimeout {1000};

    explicit AppearancePortal(const QDBusConnection &bus, std::chrono::milliseconds timeout = defaultTimeout);
    ~AppearancePortal() override;

    // Nothing when the portal does not answer, has no such setting, or has no preference.
    std::optional<bool> prefersDark();

    // The portal of the session bus, where the program reaches the real desktop (outside an emulated
    // home, in a desktop session); or the one put in place with select(), also none.
    static std::shared_ptr<AppearancePortal> current();
    static void select(std::shared_ptr<AppearancePortal> portal);
    static void followEnvironment();

signals:
    void appearanceChanged();

private slots:
    void settingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    enum class State { unasked, known, silent };

    QDBusConnection m_bus;
    std::chrono::milliseconds m_timeout;
    QMutex m_askMutex; // one question at a time
    mutable QMutex m_mutex;
    State m_state = State::unasked;
    std::optional<bool> m_dark;
};

} // namespace Platform

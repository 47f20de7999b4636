#pragma once

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <QObject>

#include <memory>

class QDBusServiceWatcher;

// Whether the desktop has a system tray to show the program's icon in, followed while the program
// runs: at login a panel often starts after the programs of the session, and a panel may restart.
//
// A tray is a StatusNotifierWatcher on the session bus with a host registered (the D-Bus trays of
// Plasma, Xfce, GNOME's extensions and others), or on X11 the owner of the XEmbed tray selection.
// Qt decides once per process whether its tray icons go to a StatusNotifierWatcher: when the first
// QSystemTrayIcon is made, or QSystemTrayIcon::isSystemTrayAvailable() is asked, while there is none,
// no icon of the process ever reaches one. So the program asks this instead, and makes its icon only
// once this says that a tray is there.
class SystemTray
    : public QObject
    , public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit SystemTray(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                        QObject *parent = nullptr);
    ~SystemTray() override;

    // The program's, on its session bus and display; setShared() replaces it (null: made anew).
    static SystemTray &shared();
    static void setShared(std::unique_ptr<SystemTray> tray);

    bool isAvailable() const;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    // A tray came or went.
    void availableChanged();

private slots:
    void askStatusNotifierWatcher();

private:
    void setStatusNotifierHost(bool registered);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher;
    bool m_statusNotifierHost = false;
    // The X11 atoms of the XEmbed tray's selection and of the message with which a tray announces
    // itself; 0 off X11.
    quint32 m_xembedSelection = 0;
    quint32 m_managerMessage = 0;
};

#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class Defaults;
class MenuView;
class QSystemTrayIcon;
class SystemTray;

// The switcher's place on the desktop: a tray icon, present exactly while "showMenuBarIcon" is on and
// once the desktop has had a system tray, whose click opens the switcher panel next to it. Without a
// system tray the same panel opens as a normal window through showPanelAsWindow().
class MenuBarExtra : public QObject
{
    Q_OBJECT

public:
    // `tray` (by default the program's) tells when there is a tray for the icon.
    MenuBarExtra(Defaults *defaults, std::function<MenuView *()> makePanel, SystemTray *tray = nullptr,
                 QObject *parent = nullptr);
    ~MenuBarExtra() override;

    // The icon while the setting is on and once there has been a tray to show it, else null. It stays
    // when the tray goes, and shows again in the tray that comes next.
    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }
    // Whether the icon is on show: the setting is on and a system tray shows it now.
    bool isIconShown() const;
    // The panel while it is open, else null.
    QWidget *panel() const { return m_panel; }

    // Opens the panel as a pop-up next to the given point of the screen.
    void showPanel(QPoint anchor);
    // The same within `room`, the part of the screen that panels and docks leave to windows: the
    // panel keeps its size where the room holds it and shrinks where it does not.
    void showPanel(QPoint anchor, const QRect &room);
    // Opens the panel as a window of its own, titled "Profile Switcher", beside the given window when
    // there is room on its screen (or raises it).
    void showPanelAsWindow(QWidget *beside = nullptr);

private:
    void updateIcon();
    void openFromIcon();
    QWidget *makePanelWindow(Qt::WindowFlags flags);

    QPointer<Defaults> m_defaults;
    std::function<MenuView *()> m_makePanel;
    QPointer<SystemTray> m_tray;
    QSystemTrayIcon *m_trayIcon = nullptr;
    QPointer<QWidget> m_panel;
};

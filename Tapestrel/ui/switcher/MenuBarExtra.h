#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class Defaults;
class MenuView;
class QSystemTrayIcon;

// The switcher's place on the desktop: a tray icon, present exactly while "showMenuBarIcon" is on,
// whose click opens the switcher panel next to it. Without a system tray the same panel opens as a
// normal window through showPanelAsWindow().
class MenuBarExtra : public QObject
{
    Q_OBJECT

public:
    MenuBarExtra(Defaults *defaults, std::function<MenuView *()> makePanel, QObject *parent = nullptr);
    ~MenuBarExtra() override;

    // The icon while the setting is on, else null.
    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }
    // Whether the icon is on show: the setting is on and a system tray shows it.
    bool isIconShown() const;
    // The panel while it is open, else null.
    QWidget *panel() const { return m_panel; }

    // Opens the panel as a pop-up next to the given point of the screen.
    void showPanel(QPoint anchor);
    // Opens the panel as a window of its own, titled "Profile Switcher", beside the given window when
    // there is room on its screen (or raises it).
    void showPanelAsWindow(QWidget *beside = nullptr);

private:
    void updateIcon();
    void openFromIcon();
    QWidget *makePanelWindow(Qt::WindowFlags flags);

    QPointer<Defaults> m_defaults;
    std::function<MenuView *()> m_makePanel;
    QSystemTrayIcon *m_trayIcon = nullptr;
    QPointer<QWidget> m_panel;
};

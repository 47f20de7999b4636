#include "Tapestrel/ui/switcher/MenuBarExtra.h"

#include "KivApp/WindowRoom.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/ui/switcher/MenuView.h"
#include "Tapestrel/ui/switcher/SystemTray.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace {

// The window that holds the panel. Escape closes it in either form: a pop-up does so by itself, the
// window opened from the main window did not. A field that uses Escape itself (the new-profile
// form's) takes it first.
class PanelWindow : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Cancel)) {
            event->accept();
            close();
            return;
        }
        QWidget::keyPressEvent(event);
    }
};

} // namespace

MenuBarExtra::MenuBarExtra(Defaults *defaults, std::function<MenuView *()> makePanel, SystemTray *tray,
                           QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_makePanel(std::move(makePanel))
    , m_tray(tray ? tray : &SystemTray::shared())
{
    if (defaults)
        connect(defaults, &Defaults::showMenuBarIconChanged, this, &MenuBarExtra::updateIcon);
    connect(m_tray, &SystemTray::availableChanged, this, &MenuBarExtra::updateIcon);
    updateIcon();
}

MenuBarExtra::~MenuBarExtra()
{
    delete m_panel;
}

void MenuBarExtra::updateIcon()
{
    const bool wanted = m_defaults && m_defaults->showMenuBarIcon();
    if (!wanted) {
        delete m_trayIcon;
        m_trayIcon = nullptr;
        return;
    }
    // An icon made before there is a tray would never reach one that comes later (see SystemTray).
    // Once made, the icon finds a tray that restarts by itself.
    if (m_trayIcon || !m_tray || !m_tray->isAvailable())
        return;
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("preferences-desktop-theme"));
    m_trayIcon = new QSystemTrayIcon(icon, this);
    m_trayIcon->setToolTip(QGuiApplication::applicationDisplayName());
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
            openFromIcon();
    });
    m_trayIcon->show();
}

bool MenuBarExtra::isIconShown() const
{
    return m_trayIcon && m_tray && m_tray->isAvailable();
}

void MenuBarExtra::openFromIcon()
{
    // Trays that do not tell where the icon is get the panel at the pointer.
    const QRect geometry = m_trayIcon ? m_trayIcon->geometry() : QRect();
    showPanel(geometry.isValid() ? geometry.bottomLeft() : QCursor::pos());
}

QWidget *MenuBarExtra::makePanelWindow(Qt::WindowFlags flags)
{
    delete m_panel;
    auto *window = new PanelWindow(nullptr, flags);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QGuiApplication::applicationDisplayName());
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    if (MenuView *view = m_makePanel ? m_makePanel() : nullptr)
        layout->addWidget(view);
    window->adjustSize();
    m_panel = window;
    return window;
}

void MenuBarExtra::showPanel(QPoint anchor)
{
    showPanel(anchor, KivApp::WindowRoom::of(QGuiApplication::screenAt(anchor)));
}

void MenuBarExtra::showPanel(QPoint anchor, const QRect &room)
{
    if (m_panel && m_panel->isVisible() && m_panel->windowFlags().testFlag(Qt::Popup)) {
        m_panel->close(); // a second click on the icon closes it, as a menu would
        return;
    }
    QWidget *window = makePanelWindow(Qt::Popup);
    // As large as the room allows: on a small screen the tiles scroll between the bars.
    QRect area(anchor, room.isEmpty() ? window->sizeHint() : window->sizeHint().boundedTo(room.size()));
    // Keep the whole panel in the room on the icon's screen, flipping above or left of it when needed.
    if (!room.isEmpty()) {
        if (area.bottom() > room.bottom())
            area.moveBottom(anchor.y()); // a tray at the bottom of the screen: open upwards
        area.moveRight(qMin(area.right(), room.right()));
        area.moveLeft(qMax(area.left(), room.left()));
        area.moveBottom(qMin(area.bottom(), room.bottom()));
        area.moveTop(qMax(area.top(), room.top()));
    }
    window->setGeometry(area);
    window->show();
}

void MenuBarExtra::showPanelAsWindow(QWidget *beside)
{
    if (m_panel && m_panel->isVisible() && !m_panel->windowFlags().testFlag(Qt::Popup)) {
        m_panel->raise();
        m_panel->activateWindow();
        return;
    }
    QWidget *window = makePanelWindow(Qt::Window);
    window->setWindowTitle(tr("Profile Switcher"));
    // Right of the window it was opened from, else left of it, top edges level as far as the screen
    // allows; centred on the screen when neither side has room. A screen too small for the whole panel
    // gets a smaller window, title bar included.
    const QScreen *screen = beside ? beside->screen() : QGuiApplication::primaryScreen();
    const QRect available = KivApp::WindowRoom::of(screen);
    QRect area(QPoint(), window->sizeHint());
    if (!available.isEmpty())
        area.setSize(area.size().boundedTo(available.size().shrunkBy(KivApp::WindowRoom::titleBar)));
    constexpr int gap = 12;
    area.moveCenter(available.center());
    if (beside) {
        const QRect frame = beside->frameGeometry();
        if (frame.right() + gap + area.width() <= available.right())
            area.moveLeft(frame.right() + 1 + gap);
        else if (frame.left() - gap - area.width() >= available.left())
            area.moveRight(frame.left() - 1 - gap);
        area.moveTop(qMax(available.top(), qMin(frame.top(), available.bottom() - area.height())));
    }
    window->setGeometry(area);
    window->show();
    window->activateWindow();
}

#include "KivIntroduction/IntroductionController.h"

#include "KivApp/WindowRoom.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace KivIntroduction {

IntroductionWindowController::IntroductionWindowController(IntroductionConfiguration configuration,
                                                           IntroductionView::Style style, QSize size)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
    , m_configuration(configuration)
    , m_size(size)
    , m_view(new IntroductionView(std::move(configuration), std::move(style), this))
{
    setObjectName(QStringLiteral("IntroductionWindow"));
    // A task bar lists the window under the application's name.
    setWindowTitle(QGuiApplication::applicationDisplayName());
    // The introduction leads on to the application: its window closing is never the last window
    // closing, which would end the program before the window that follows it opens.
    setAttribute(Qt::WA_QuitOnClose, false);
    IntroductionView::setWindowLevel(this, IntroductionView::introductionWindowLevel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->model().setWindow(this);
    // A person without a pointer, or whose screen hides the buttons, still gets through: Return takes
    // the button that has the keyboard (the licence page's Accept or Reject among them), else the one
    // that leads on.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, [this] {
            auto *focused = qobject_cast<QPushButton *>(QApplication::focusWidget());
            if (focused && m_view->isAncestorOf(focused) && focused->isVisible() && focused->isEnabled())
                focused->click();
            else
                clickShown({QStringLiteral("ContinueButton"), QStringLiteral("FinishButton")});
        });
    }
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            [this] { clickShown({QStringLiteral("GoBackButton")}); });
    fitToScreen();
}

void IntroductionWindowController::clickShown(const QStringList &buttonNames)
{
    for (QPushButton *button : m_view->findChildren<QPushButton *>()) {
        if (buttonNames.contains(button->objectName()) && button->isVisible() && button->isEnabled()) {
            button->click();
            return;
        }
    }
}

void IntroductionWindowController::fitToScreen()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        setFixedSize(m_size);
        return;
    }
    // A smaller screen (or a large scale) gets a smaller window, whose pages scroll where they must:
    // a window larger than the screen would put its buttons out of reach.
    const QRect frame = KivApp::WindowRoom::frame(m_size, KivApp::WindowRoom::of(screen));
    setFixedSize(frame.size());
    move(frame.topLeft());
}

void IntroductionWindowController::showWindow()
{
    m_isModal = false;
    fitToScreen();
    show();
    raise();
    activateWindow();
}

void IntroductionWindowController::runModal(bool closeWhenDone)
{
    m_isModal = true;
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    m_loop = &loop;
    fitToScreen();
    show();
    raise();
    activateWindow();
    if (m_isModal)
        loop.exec();
    setWindowModality(Qt::NonModal);
    if (closeWhenDone && isVisible())
        close();
}

void IntroductionWindowController::stopModal()
{
    if (!m_isModal)
        return;
    m_isModal = false;
    if (m_loop)
        m_loop->quit();
}

void IntroductionWindowController::closeEvent(QCloseEvent *event)
{
    if (event->spontaneous()) {
        // The window manager asks (its close button, Alt+F4): the introduction answers as its own
        // buttons would, after this event (finishing closes the window anew).
        event->ignore();
        QTimer::singleShot(0, &m_view->model(), &IntroductionModel::requestClose);
        return;
    }
    QWidget::closeEvent(event);
    stopModal();
}

void IntroductionWindowController::mousePressEvent(QMouseEvent *event)
{
    // Dragging the background moves the window.
    if (event->button() == Qt::LeftButton && windowHandle())
        windowHandle()->startSystemMove();
    QWidget::mousePressEvent(event);
}

IntroductionController::IntroductionController(IntroductionConfiguration configuration,
                                               IntroductionView::Style style, QSize size)
    : m_configuration(std::move(configuration))
    , m_style(std::move(style))
    , m_size(size)
{ }

IntroductionWindowController &IntroductionController::windowController()
{
    if (!m_windowController)
        m_windowController = new IntroductionWindowController(m_configuration, m_style, m_size);
    return *m_windowController;
}

bool IntroductionController::isDue() const
{
    const auto &checker = m_configuration.shouldDisplayIntroductionChecker;
    return !checker || checker->shouldDisplay();
}

IntroductionController::~IntroductionController()
{
    delete m_windowController.data();
}

bool IntroductionController::showIfNeeded(bool force)
{
    if (!force && !isDue())
        return false;
    windowController().showWindow();
    return true;
}

bool IntroductionController::runModalIfNeeded(bool closeWhenDone)
{
    if (!isDue())
        return false;
    windowController().runModal(closeWhenDone);
    return true;
}

} // namespace KivIntroduction

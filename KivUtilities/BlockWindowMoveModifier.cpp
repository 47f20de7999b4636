#include "KivUtilities/BlockWindowMoveModifier.h"

#include "KivUtilities/ViewProbe.h"

#include <QMouseEvent>
#include <QWindow>

namespace KivUtilities {

void WindowDragMover::install(QWidget *window)
{
    if (!window || window->findChild<WindowDragMover *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    window->installEventFilter(new WindowDragMover(window));
}

bool WindowDragMover::isMovableByWindowBackground(const QWidget *window)
{
    return window && window->property(propertyName).toBool();
}

void WindowDragMover::setMovableByWindowBackground(QWidget *window, bool movable)
{
    if (window)
        window->setProperty(propertyName, movable);
}

bool WindowDragMover::eventFilter(QObject *watched, QEvent *event)
{
    auto *window = qobject_cast<QWidget *>(watched);
    if (window && event->type() == QEvent::MouseButtonPress && isMovableByWindowBackground(window)
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        // A press that reached the window itself fell on its background, not on a control.
        if (QWindow *handle = window->windowHandle())
            return handle->startSystemMove();
    }
    return QObject::eventFilter(watched, event);
}

BlockWindowMoveModifier::BlockWindowMoveModifier(QWidget *view)
    : QObject(view)
{
    view->setAttribute(Qt::WA_Hover);
    view->installEventFilter(this);
    ViewProbe::windowModifier(view, [this](QWidget *window) {
        m_window = window;
        WindowDragMover::install(window);
        apply();
    });
}

void BlockWindowMoveModifier::apply()
{
    if (m_window)
        WindowDragMover::setMovableByWindowBackground(m_window, !m_isHovered);
}

bool BlockWindowMoveModifier::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent()) {
        if (event->type() == QEvent::HoverEnter || event->type() == QEvent::Enter) {
            m_isHovered = true;
            apply();
        } else if (event->type() == QEvent::HoverLeave || event->type() == QEvent::Leave) {
            m_isHovered = false;
            apply();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace KivUtilities

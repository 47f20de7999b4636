#include "KivUtilities/SingleAndDoubleTapHandlerModifier.h"

#include <QMouseEvent>

namespace KivUtilities {

SingleAndDoubleTapHandlerModifier::SingleAndDoubleTapHandlerModifier(QWidget *view,
                                                                     std::function<void()> singleTapAction,
                                                                     std::function<void()> doubleTapAction)
    : QObject(view)
    , m_singleTapAction(std::move(singleTapAction))
    , m_doubleTapAction(std::move(doubleTapAction))
{
    view->installEventFilter(this);
}

void SingleAndDoubleTapHandlerModifier::tap()
{
    ++m_tapCount;
    if (m_singleTapAction)
        m_singleTapAction();
    m_timeline.after(std::chrono::milliseconds(doubleTapWindowMs), [this] {
        if (m_tapCount == 2 && m_doubleTapAction)
            m_doubleTapAction();
        m_tapCount = 0;
    });
}

bool SingleAndDoubleTapHandlerModifier::eventFilter(QObject *watched, QEvent *event)
{
    // Qt turns the second press of a double click into a double-click event; both count as taps.
    if (watched == parent()
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        tap();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace KivUtilities

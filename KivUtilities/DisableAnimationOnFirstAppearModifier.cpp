#include "KivUtilities/DisableAnimationOnFirstAppearModifier.h"

#include <QEvent>

namespace KivUtilities {

DisableAnimationOnFirstAppearModifier::DisableAnimationOnFirstAppearModifier(QWidget *view,
                                                                             double timeoutSeconds)
    : QObject(view)
    , m_timeout(timeoutSeconds)
{
    view->installEventFilter(this);
}

bool DisableAnimationOnFirstAppearModifier::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Show && !m_shown) {
        m_shown = true;
        m_timeline.after(std::chrono::milliseconds(qMax(0, qRound(m_timeout * 1000))),
                         [this] { m_didAppear = true; });
    }
    return QObject::eventFilter(watched, event);
}

bool DisableAnimationOnFirstAppearModifier::animationsAllowed(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        const auto modifiers =
            w->findChildren<DisableAnimationOnFirstAppearModifier *>(QString(), Qt::FindDirectChildrenOnly);
        for (const auto *modifier : modifiers) {
            if (!modifier->didAppear())
                return false;
        }
    }
    return true;
}

} // namespace KivUtilities

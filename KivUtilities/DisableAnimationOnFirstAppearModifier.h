#pragma once

#include "KivUtilities/Timeline.h"

#include <QObject>
#include <QWidget>

namespace KivUtilities {

// Keeps a view's content from animating while it first appears: until `timeout` seconds after the
// view was first shown, animationsAllowed() is false for the view and everything inside it.
// Content that animates asks before it starts an animation.
class DisableAnimationOnFirstAppearModifier : public QObject
{
    Q_OBJECT
public:
    DisableAnimationOnFirstAppearModifier(QWidget *view, double timeoutSeconds);

    bool didAppear() const { return m_didAppear; }
    // Times the wait after the first appearance; tests give it their own clock.
    Timeline &timeline() { return m_timeline; }

    // False while any modifier on the widget or one of its ancestors has not finished its wait.
    static bool animationsAllowed(const QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    double m_timeout;
    bool m_shown = false;
    bool m_didAppear = false;
    Timeline m_timeline;
};

} // namespace KivUtilities

#pragma once

#include "KivUtilities/Timeline.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace KivUtilities {

// Lets a widget react to single and double clicks anywhere in its frame. Every click runs the
// single action at once; when exactly two clicks were counted 0.3 s after a click, the double
// action runs too. A double click therefore runs the single action twice, then the double one.
class SingleAndDoubleTapHandlerModifier : public QObject
{
    Q_OBJECT
public:
    static constexpr int doubleTapWindowMs = 300;

    SingleAndDoubleTapHandlerModifier(QWidget *view, std::function<void()> singleTapAction,
                                      std::function<void()> doubleTapAction);

    // Counts one tap, as a click on the widget does.
    void tap();
    int tapCount() const { return m_tapCount; }
    // Times the double-tap window; tests give it their own clock.
    Timeline &timeline() { return m_timeline; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_singleTapAction;
    std::function<void()> m_doubleTapAction;
    int m_tapCount = 0;
    Timeline m_timeline;
};

} // namespace KivUtilities

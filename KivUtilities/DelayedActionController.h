#pragma once

#include "KivUtilities/Timeline.h"
#include <QDateTime>

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

namespace KivUtilities {

// Debounce: runs its action once a burst of triggers has been quiet for `interval`. Each trigger
// restarts one timer on the controller's (main) thread, so waiting holds no thread. Destroying the
// controller cancels a pending action. Triggers spaced further apart than the interval each run it.
class DelayedActionController : public QObject
{
    Q_OBJECT

public:
    DelayedActionController(const QString &name, std::chrono::milliseconds interval,
                            std::function<void()> action, QObject *parent = nullptr);

    QString name() const { return objectName(); }
    std::chrono::milliseconds interval() const { return m_interval; }
    // When trigger() was last called.
    std::optional<QDateTime> lastTime() const { return m_lastTime; }
    bool isPending() const { return m_timeline.isActive(m_pending); }
    // Times the quiet interval; tests give it their own clock.
    Timeline &timeline() { return m_timeline; }

    void setAction(std::function<void()> action) { m_action = std::move(action); }

    // Called on the controller's thread.
    void trigger();

private:
    std::chrono::milliseconds m_interval;
    std::optional<QDateTime> m_lastTime;
    std::function<void()> m_action;
    Timeline m_timeline;
    Timeline::Id m_pending = 0;
};

} // namespace KivUtilities

#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <vector>

namespace KivUtilities {

// Waits, repeating checks and animations of one object, all measured on one monotonic clock.
// With the default steady clock a timer wakes the timeline when something is due, every frame
// while an animation runs. Tests pass their own clock and call advance() after moving it, so a
// timed sequence runs the same way on a loaded machine as on an idle one.
class Timeline : public QObject
{
    Q_OBJECT

public:
    // Monotonic time; tests pass their own to step through timed behaviour.
    using Clock = std::function<std::chrono::nanoseconds()>;
    // Names one scheduled item; 0 names none.
    using Id = quint64;

    static constexpr std::chrono::milliseconds frameInterval {16};

    static std::chrono::nanoseconds steadyNow();

    explicit Timeline(QObject *parent = nullptr);
    ~Timeline() override;

    // An empty clock means the steady clock.
    void setClock(Clock clock);
    std::chrono::nanoseconds now() const { return m_clock(); }

    // Runs the action once, `delay` from now.
    Id after(std::chrono::milliseconds delay, std::function<void()> action);
    // Runs the action every `interval`, the first time one interval from now. Checks missed while
    // the program was held up are not made up for.
    Id every(std::chrono::milliseconds interval, std::function<void()> action);
    // Calls `step` with the linear progress (0 to 1) of `duration` on every frame, the last time
    // with exactly 1, then `finished`. The first step comes on the first frame after the start.
    Id animate(std::chrono::milliseconds duration, std::function<void(double progress)> step,
               std::function<void()> finished = {});

    // Drops a scheduled item; an unknown or finished one is ignored.
    void cancel(Id id);
    bool isActive(Id id) const;

    // Looks at the clock and runs everything that is due, in the order it fell due. The timer
    // calls it; tests call it after moving their clock.
    void advance();

private:
    enum class Kind { Once, Repeating, Animation };

    struct Entry
    {
        Id id = 0;
        Kind kind = Kind::Once;
        std::chrono::nanoseconds start {0};
        std::chrono::nanoseconds interval {0}; // the delay, the repeat interval or the duration
        std::chrono::nanoseconds due {0};
        std::function<void()> action;
        std::function<void(double)> step;
    };

    Id add(Entry entry);
    std::vector<Entry>::iterator find(Id id);
    void reschedule();

    Clock m_clock;
    std::vector<Entry> m_entries;
    Id m_lastId = 0;
    QTimer m_timer;
    bool m_advancing = false;
};

} // namespace KivUtilities

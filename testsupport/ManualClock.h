#pragma once

#include <QCoreApplication>
#include <QEvent>

#include <chrono>
#include <functional>
#include <vector>

namespace TestSupport {

// A monotonic clock that only the test moves, for classes that take one (a function returning
// nanoseconds). Time moves in steps of one millisecond; after each step every driven function runs
// (usually the advance() of the objects' timelines, as their frame timers would) and the events that
// posted are delivered, deferred deletions included. A timed sequence therefore runs the same way
// however busy the machine is, and a test can check each phase to the millisecond.
class ManualClock
{
public:
    using Function = std::function<std::chrono::nanoseconds()>;

    static constexpr std::chrono::milliseconds step {1};

    Function function()
    {
        return [this] {
            return m_now;
        };
    }

    // Time since the clock was made.
    std::chrono::milliseconds elapsed() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_now);
    }

    void drive(std::function<void()> advance) { m_driven.push_back(std::move(advance)); }

    // Moves the clock to `time` after its start; a time already passed changes nothing.
    void runTo(std::chrono::milliseconds time)
    {
        while (m_now < time) {
            m_now += step;
            for (const auto &advance : m_driven)
                advance();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    void runFor(std::chrono::milliseconds duration) { runTo(elapsed() + duration); }

private:
    std::chrono::nanoseconds m_now {0};
    std::vector<std::function<void()>> m_driven;
};

} // namespace TestSupport

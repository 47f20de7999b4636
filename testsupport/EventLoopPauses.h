#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace TestSupport {

// Measures, from its making on, the longest stretch the thread's event loop did not turn: a timer
// ticks every 10 ms, and a gap between two ticks (or since the last one) is a pause.
class EventLoopPauses
{
public:
    EventLoopPauses()
    {
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_clock.elapsed() - m_last);
            m_last = m_clock.elapsed();
        });
        m_clock.start();
        m_tick.start(10);
    }

    // In milliseconds.
    qint64 longest() const { return std::max(m_longest, m_clock.elapsed() - m_last); }

private:
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

} // namespace TestSupport

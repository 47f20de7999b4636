#pragma once

#include "KivUtilities/Timeline.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace KivUtilities {

// Polls one value of an object at a fixed interval and reports each new value: the first check,
// one interval after the start, always reports; later checks report only a value that differs
// from the last one reported. Runs on the GUI thread.
template<typename Object, typename Value> class IntervalObjectObserver
{
public:
    using KeyPath = std::function<Value(const Object &)>;
    using OnChange = std::function<void(const Value &, IntervalObjectObserver &)>;

    // Tests pass their own clock to step through the checks.
    IntervalObjectObserver(Object object, KeyPath keyPath, double intervalSeconds, OnChange onChange,
                           Timeline::Clock clock = {})
        : object(std::move(object))
        , keyPath(std::move(keyPath))
        , onChange(std::move(onChange))
    {
        m_timeline.setClock(std::move(clock));
        start(intervalSeconds);
    }
    ~IntervalObjectObserver() { stop(); }
    IntervalObjectObserver(const IntervalObjectObserver &) = delete;
    IntervalObjectObserver &operator=(const IntervalObjectObserver &) = delete;

    // Each start runs its own loop with its own last value, beside any loop already running.
    void start(double intervalSeconds)
    {
        m_isRunning = true;
        auto last = std::make_shared<std::optional<Value>>();
        m_loops.push_back(m_timeline.every(std::chrono::milliseconds(qMax(1, qRound(intervalSeconds * 1000))),
                                           [this, last] { tick(*last); }));
    }

    void stop()
    {
        m_isRunning = false;
        for (Timeline::Id loop : m_loops)
            m_timeline.cancel(loop);
        m_loops.clear();
    }

    bool isRunning() const { return m_isRunning; }
    // Times the checks; tests give it their own clock.
    Timeline &timeline() { return m_timeline; }

    Object object;
    KeyPath keyPath;
    OnChange onChange;

private:
    void tick(std::optional<Value> &last)
    {
        if (!m_isRunning || !keyPath)
            return;
        Value value = keyPath(object);
        if (last && *last == value)
            return;
        last = value;
        if (onChange)
            onChange(value, *this);
    }

    bool m_isRunning = false;
    Timeline m_timeline;
    std::vector<Timeline::Id> m_loops;
};

} // namespace KivUtilities

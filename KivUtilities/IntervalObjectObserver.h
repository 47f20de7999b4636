#pragma once

#include <QTimer>

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

    IntervalObjectObserver(Object object, KeyPath keyPath, double intervalSeconds, OnChange onChange)
        : object(std::move(object))
        , keyPath(std::move(keyPath))
        , onChange(std::move(onChange))
    {
        start(intervalSeconds);
    }
    ~IntervalObjectObserver() { stop(); }
    IntervalObjectObserver(const IntervalObjectObserver &) = delete;
    IntervalObjectObserver &operator=(const IntervalObjectObserver &) = delete;

    // Each start runs its own loop with its own last value, beside any loop already running.
    void start(double intervalSeconds)
    {
        m_isRunning = true;
        auto timer = std::make_unique<QTimer>();
        auto last = std::make_shared<std::optional<Value>>();
        timer->setInterval(qMax(1, qRound(intervalSeconds * 1000)));
        QObject::connect(timer.get(), &QTimer::timeout, [this, last] { tick(*last); });
        timer->start();
        m_loops.push_back(std::move(timer));
    }

    void stop()
    {
        m_isRunning = false;
        for (auto &timer : m_loops)
            timer->stop();
    }

    bool isRunning() const { return m_isRunning; }

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
    std::vector<std::unique_ptr<QTimer>> m_loops;
};

} // namespace KivUtilities

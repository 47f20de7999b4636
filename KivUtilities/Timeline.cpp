#include "KivUtilities/Timeline.h"

#include <QPointer>

#include <algorithm>

namespace KivUtilities {

using namespace std::chrono;

std::chrono::nanoseconds Timeline::steadyNow()
{
    return steady_clock::now().time_since_epoch();
}

Timeline::Timeline(QObject *parent)
    : QObject(parent)
    , m_clock(steadyNow)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timeline::advance);
}

Timeline::~Timeline() = default;

void Timeline::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(steadyNow);
    reschedule();
}

Timeline::Id Timeline::add(Entry entry)
{
    entry.id = ++m_lastId;
    entry.start = now();
    entry.due = entry.start + entry.interval;
    m_entries.push_back(std::move(entry));
    reschedule();
    return m_lastId;
}

Timeline::Id Timeline::after(milliseconds delay, std::function<void()> action)
{
    Entry entry;
    entry.kind = Kind::Once;
    entry.interval = std::max(delay, milliseconds(0));
    entry.action = std::move(action);
    return add(std::move(entry));
}

Timeline::Id Timeline::every(milliseconds interval, std::function<void()> action)
{
    Entry entry;
    entry.kind = Kind::Repeating;
    entry.interval = std::max(interval, milliseconds(1));
    entry.action = std::move(action);
    return add(std::move(entry));
}

Timeline::Id Timeline::animate(milliseconds duration, std::function<void(double)> step,
                               std::function<void()> finished)
{
    Entry entry;
    entry.kind = Kind::Animation;
    entry.interval = std::max(duration, milliseconds(0));
    entry.action = std::move(finished);
    entry.step = std::move(step);
    return add(std::move(entry));
}

std::vector<Timeline::Entry>::iterator Timeline::find(Id id)
{
    return std::find_if(m_entries.begin(), m_entries.end(), [id](const Entry &e) { return e.id == id; });
}

void Timeline::cancel(Id id)
{
    if (id == 0)
        return;
    const auto it = find(id);
    if (it == m_entries.end())
        return;
    m_entries.erase(it);
    reschedule();
}

bool Timeline::isActive(Id id) const
{
    return id != 0
        && std::any_of(m_entries.begin(), m_entries.end(), [id](const Entry &e) { return e.id == id; });
}

void Timeline::advance()
{
    if (m_advancing)
        return;
    const nanoseconds current = now();

    // Animations step on every frame; waits run once they are due. What an action schedules waits
    // for the next call, so an action that reschedules itself at once cannot loop here.
    std::vector<std::pair<nanoseconds, Id>> due;
    for (const Entry &entry : m_entries) {
        if (entry.kind == Kind::Animation)
            due.emplace_back(std::min(entry.due, current), entry.id);
        else if (entry.due <= current)
            due.emplace_back(entry.due, entry.id);
    }
    std::sort(due.begin(), due.end());

    QPointer<Timeline> self = this;
    m_advancing = true;
    for (const auto &[when, id] : due) {
        const auto it = find(id);
        if (it == m_entries.end())
            continue; // cancelled by an earlier action
        switch (it->kind) {
        case Kind::Once: {
            const std::function<void()> action = std::move(it->action);
            m_entries.erase(it);
            if (action)
                action();
            break;
        }
        case Kind::Repeating: {
            it->due += it->interval;
            if (it->due <= current)
                it->due = current + it->interval;
            const std::function<void()> action = it->action;
            if (action)
                action();
            break;
        }
        case Kind::Animation: {
            const double progress = it->interval.count() == 0
                ? 1.0
                : std::clamp(duration<double>(current - it->start) / duration<double>(it->interval), 0.0,
                             1.0);
            const std::function<void(double)> step = it->step;
            std::function<void()> finished;
            if (progress >= 1.0) {
                finished = std::move(it->action);
                m_entries.erase(it);
            }
            if (step)
                step(progress);
            if (self && finished)
                finished();
            break;
        }
        }
        if (!self)
            return; // an action destroyed the timeline's owner
    }
    m_advancing = false;
    reschedule();
}

void Timeline::reschedule()
{
    if (m_advancing)
        return;
    if (m_entries.empty()) {
        m_timer.stop();
        return;
    }
    const bool animating = std::any_of(m_entries.begin(), m_entries.end(),
                                       [](const Entry &e) { return e.kind == Kind::Animation; });
    nanoseconds wait = frameInterval;
    if (!animating) {
        nanoseconds next = nanoseconds::max();
        for (const Entry &entry : m_entries)
            next = std::min(next, entry.due);
        wait = std::max(next - now(), nanoseconds(0));
    }
    // Round up, so the timer never wakes just before the item is due.
    m_timer.start(ceil<milliseconds>(wait));
}

} // namespace KivUtilities

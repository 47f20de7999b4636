#include "KivDesktopBackground/MemoryBudget.h"

#include <algorithm>

namespace KivDesktopBackground {

MemoryBudget::MemoryBudget(qint64 bytes)
    : m_total(bytes)
{ }

bool MemoryBudget::take(qint64 bytes, const std::function<bool()> &givenUp,
                        std::chrono::milliseconds interval)
{
    bytes = std::min(bytes, m_total);
    std::unique_lock lock(m_mutex);
    bool waited = false;
    while (m_taken + bytes > m_total) {
        lock.unlock();
        if (givenUp && givenUp())
            return false;
        lock.lock();
        m_freed.wait_for(lock, interval);
        waited = true;
    }
    // The memory may have come free as the decodes before it ended with it (a later background ends
    // them all).
    if (waited && givenUp && givenUp())
        return false;
    m_taken += bytes;
    m_mostTaken = std::max(m_mostTaken, m_taken);
    return true;
}

void MemoryBudget::giveBack(qint64 bytes)
{
    {
        const std::lock_guard lock(m_mutex);
        m_taken -= std::min(bytes, m_total);
    }
    m_freed.notify_all();
}

qint64 MemoryBudget::mostTaken() const
{
    const std::lock_guard lock(m_mutex);
    return m_mostTaken;
}

} // namespace KivDesktopBackground

#pragma once

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace KivDesktopBackground {

// Bytes of memory that decodes running at once may take together: each takes its memory limit before
// its process is given the picture and gives it back when done, so the limits of the decodes that run
// together never add up past the budget. Every member may be called from any thread.
class MemoryBudget
{
public:
    explicit MemoryBudget(qint64 bytes);
    MemoryBudget(const MemoryBudget &) = delete;
    MemoryBudget &operator=(const MemoryBudget &) = delete;

    // Takes `bytes` (at most the whole budget) once that much is free. False when `givenUp`, asked
    // every `interval` while it waits and once more when it is free, says to stop waiting.
    bool take(qint64 bytes, const std::function<bool()> &givenUp,
              std::chrono::milliseconds interval = std::chrono::milliseconds(50));
    void giveBack(qint64 bytes);

    qint64 total() const { return m_total; }
    // The most that the decodes taken from it held at once.
    qint64 mostTaken() const;

private:
    const qint64 m_total;
    mutable std::mutex m_mutex;
    std::condition_variable m_freed;
    qint64 m_taken = 0;
    qint64 m_mostTaken = 0;
};

} // namespace KivDesktopBackground

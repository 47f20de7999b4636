#pragma once

#include <QThread>

#include <chrono>
#include <functional>
#include <memory>

class QSemaphore;

namespace KivUtilities {

// Throttle: runs its callback on a background thread at most once per interval. Runs never overlap,
// each run is followed by a pause of `interval`, and at most one further run waits; a trigger while
// one run is in progress and one is waiting is dropped.
//
// The semaphore form hands the callback a semaphore that it (or work it started) releases when done;
// the run lasts until then. The work lives on its own: destroying the controller neither waits for
// nor cancels a run that was accepted, and a waiting run still happens.
class LimitActionController
{
public:
    LimitActionController(QThread::Priority qualityOfService, std::chrono::milliseconds interval,
                          std::function<void()> action);
    LimitActionController(QThread::Priority qualityOfService, std::chrono::milliseconds interval,
                          std::function<void(std::shared_ptr<QSemaphore>)> semaphoreAction);
    ~LimitActionController();

    LimitActionController(const LimitActionController &) = delete;
    LimitActionController &operator=(const LimitActionController &) = delete;

    std::chrono::milliseconds interval() const;
    // Runs in progress plus waiting (0, 1 or 2).
    int operationCount() const;

    void trigger();

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace KivUtilities

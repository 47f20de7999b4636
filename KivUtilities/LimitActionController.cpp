#include "KivUtilities/LimitActionController.h"

#include <QSemaphore>

#include <mutex>

namespace KivUtilities {

struct LimitActionController::State
{
    QThread::Priority priority;
    std::chrono::milliseconds interval;
    std::function<void()> action;
    std::function<void(std::shared_ptr<QSemaphore>)> semaphoreAction;

    mutable std::mutex mutex;
    int operations = 0; // running plus waiting
    bool workerRunning = false;
};

namespace {

void runOnce(const LimitActionController::State &state)
{
    if (state.action) {
        state.action();
    } else if (state.semaphoreAction) {
        auto semaphore = std::make_shared<QSemaphore>(0);
        state.semaphoreAction(semaphore);
        semaphore->acquire();
    }
    QThread::msleep(static_cast<unsigned long>(state.interval.count()));
}

// Works through the accepted runs one after another, then ends.
void drain(std::shared_ptr<LimitActionController::State> state)
{
    for (;;) {
        try {
            runOnce(*state);
        } catch (...) {
            // A failing callback ends its own run only; the pause still keeps the rate.
            QThread::msleep(static_cast<unsigned long>(state->interval.count()));
        }
        std::lock_guard lock(state->mutex);
        if (--state->operations == 0) {
            state->workerRunning = false;
            return;
        }
    }
}

} // namespace

LimitActionController::LimitActionController(QThread::Priority qualityOfService,
                                             std::chrono::milliseconds interval, std::function<void()> action)
    : m_state(std::make_shared<State>())
{
    m_state->priority = qualityOfService;
    m_state->interval = interval;
    m_state->action = std::move(action);
}

LimitActionController::LimitActionController(QThread::Priority qualityOfService,
                                             std::chrono::milliseconds interval,
                                             std::function<void(std::shared_ptr<QSemaphore>)> semaphoreAction)
    : m_state(std::make_shared<State>())
{
    m_state->priority = qualityOfService;
    m_state->interval = interval;
    m_state->semaphoreAction = std::move(semaphoreAction);
}

LimitActionController::~LimitActionController() = default;

std::chrono::milliseconds LimitActionController::interval() const
{
    return m_state->interval;
}

int LimitActionController::operationCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->operations;
}

void LimitActionController::trigger()
{
    std::unique_lock lock(m_state->mutex);
    if (m_state->operations >= 2)
        return;
    ++m_state->operations;
    if (m_state->workerRunning)
        return;
    m_state->workerRunning = true;
    lock.unlock();

    QThread *worker = QThread::create(drain, m_state);
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start(m_state->priority);
}

} // namespace KivUtilities

#include "Tapestrel/model/ProfileOperationQueue.h"

#include <QCoro/QCoroSignal>

ProfileOperationQueue::Turn::Turn(ProfileOperationQueue *queue)
    : m_queue(queue)
{ }

ProfileOperationQueue::Turn::~Turn()
{
    if (m_queue)
        m_queue->release();
}

ProfileOperationQueue &ProfileOperationQueue::shared()
{
    static ProfileOperationQueue queue;
    return queue;
}

QCoro::Task<std::shared_ptr<ProfileOperationQueue::Turn>>
ProfileOperationQueue::waitForTurn(Attendance attendance)
{
    if (!m_busy && m_waiting.empty()) {
        m_busy = true;
        m_unattended = attendance == Attendance::unattended;
        co_return std::shared_ptr<Turn>(new Turn(this));
    }
    const quint64 ticket = m_nextTicket++;
    m_waiting.push_back(ticket);
    while (true) {
        const std::optional<quint64> grantedTicket = co_await qCoro(this, &ProfileOperationQueue::granted);
        if (grantedTicket == ticket)
            break;
    }
    m_unattended = attendance == Attendance::unattended;
    co_return std::shared_ptr<Turn>(new Turn(this));
}

void ProfileOperationQueue::release()
{
    m_unattended = false;
    if (m_waiting.empty()) {
        m_busy = false;
        return;
    }
    // The queue stays busy: the turn passes straight to the next waiter. It is handed over from the
    // event loop, so the finishing operation unwinds before the next one runs.
    const quint64 next = m_waiting.front();
    m_waiting.pop_front();
    QMetaObject::invokeMethod(
        this, [this, next] { emit granted(next); }, Qt::QueuedConnection);
}

#pragma once

#include <QFuture>
#include <QObject>
#include <QPromise>

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>

namespace KivUtilities {

// Returns at the next emission of `signal` by `sender`, or once the sender is destroyed (at once when
// there is none). QCoro's own wait for a signal resumes from a queued call that is not taken back when
// it has resumed: a second emission before that call ran resumes a wait that is gone. Here the
// connection ends with the wait, and with it every call still queued for it.
template<typename Sender, typename Signal> QCoro::Task<void> nextEmission(Sender *sender, Signal signal)
{
    if (!sender)
        co_return;
    QPromise<void> promise;
    promise.start();
    const QFuture<void> emitted = promise.future();
    QObject connections;
    const auto resume = [&promise] {
        if (!promise.future().isFinished())
            promise.finish();
    };
    QObject::connect(sender, signal, &connections, resume);
    QObject::connect(sender, &QObject::destroyed, &connections, resume);
    co_await emitted;
}

} // namespace KivUtilities

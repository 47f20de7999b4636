#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace TestSupport {

class TaskTimedOut : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace detail {

template<typename T> struct TaskState
{
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value {};
    std::exception_ptr error;
    bool done = false;
};

// The awaiting coroutine catches everything: an exception that escaped a task awaited by
// QCoro::waitFor would leave the caller waiting for ever.
template<typename T> QCoro::Task<void> awaitInto(QCoro::Task<T> task, std::shared_ptr<TaskState<T>> state)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
        } else {
            state->value.emplace(co_await std::move(task));
        }
    } catch (...) {
        state->error = std::current_exception();
    }
    state->done = true;
}

} // namespace detail

// Runs the event loop until the task finishes and returns its result, rethrowing its exception.
// A task that does not finish in time fails the test and throws TaskTimedOut instead of hanging.
template<typename T>
T runTask(QCoro::Task<T> task, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    auto state = std::make_shared<detail::TaskState<T>>();
    auto waiter = std::make_unique<QCoro::Task<void>>(detail::awaitInto<T>(std::move(task), state));
    QElapsedTimer clock;
    clock.start();
    while (!state->done && clock.elapsed() < timeout.count()) {
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!state->done) {
        // The coroutine may still resume later; its frame must outlive this call.
        (void)waiter.release();
        ADD_FAILURE() << "task did not finish within " << timeout.count() << " ms";
        throw TaskTimedOut("task timed out");
    }
    if (state->error)
        std::rethrow_exception(state->error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*state->value);
}

// Runs the event loop for a while, so queued signals and timers fire.
inline void spinEventLoop(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until the condition holds; false when it still does not after `timeout`.
// For what happens "eventually" (another thread, a child process, a file watcher): the deadline
// is generous so that a busy machine does not fail the test, and a passing test returns at once.
template<typename Condition>
[[nodiscard]] bool waitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5))
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeout.count())
            return condition();
        spinEventLoop(std::chrono::milliseconds(5));
    }
    return true;
}

// Runs the event loop until something exits it, and returns the code; a loop still running after
// `bound` fails the test and is exited with 1 instead of hanging.
inline int runUntilExit(std::chrono::milliseconds bound = std::chrono::minutes(3))
{
    QTimer neverExited;
    neverExited.setSingleShot(true);
    QObject::connect(&neverExited, &QTimer::timeout, [bound] {
        ADD_FAILURE() << "the event loop still ran after " << bound.count() << " ms";
        QCoreApplication::exit(1);
    });
    neverExited.start(bound);
    return QCoreApplication::exec();
}

} // namespace TestSupport

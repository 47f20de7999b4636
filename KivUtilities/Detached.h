#pragma once

#include <QCoro/QCoroTask>

#include <exception>

namespace KivUtilities {

void logDetachedFailure(const char *context, const std::exception *error);

namespace detail {

template<typename T> QCoro::Task<void> runDetached(QCoro::Task<T> task, const char *context)
{
    try {
        co_await std::move(task);
    } catch (const std::exception &error) {
        logDetachedFailure(context, &error);
    } catch (...) {
        logDetachedFailure(context, nullptr);
    }
}

} // namespace detail

// Starts fire-and-forget work. The task runs to its end on its own; an exception it throws is
// written to the log with the context text instead of disappearing (a detached task's exception
// would otherwise be dropped without a trace). The context must be a string literal.
template<typename T> void detached(QCoro::Task<T> task, const char *context)
{
    detail::runDetached<T>(std::move(task), context);
}

} // namespace KivUtilities

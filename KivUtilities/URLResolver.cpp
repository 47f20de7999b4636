#include "KivUtilities/URLResolver.h"

#include "KivUtilities/SharedInstance.h"

#include "KivUtilities/FileBookmark.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace KivUtilities {

namespace {

std::optional<QUrl> resolveFileBookmark(const QByteArray &data)
{
    if (const auto resolution = FileBookmark::resolve(data))
        return resolution->location;
    return std::nullopt;
}

// Shared by the waiting caller and the background work, which may finish after the caller left.
struct ResultCell
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<QUrl> location;
};

} // namespace

URLResolver::URLResolver(Resolve resolve)
    : m_resolve(resolve ? std::move(resolve) : Resolve(resolveFileBookmark))
{ }

URLResolver &URLResolver::shared()
{
    return SharedInstance<URLResolver>::get([] { return std::make_unique<URLResolver>(); });
}

void URLResolver::setShared(std::unique_ptr<URLResolver> resolver)
{
    SharedInstance<URLResolver>::set(std::move(resolver));
}

bool URLResolver::isStuck(const QByteArray &bookmarkData) const
{
    QReadLocker lock(&m_lock);
    return m_stuckURLs.contains(bookmarkData);
}

QList<QByteArray> URLResolver::stuckURLs() const
{
    QReadLocker lock(&m_lock);
    return m_stuckURLs;
}

std::optional<QUrl> URLResolver::resolve(const QByteArray &bookmarkData, double timeoutSeconds)
{
    if (isStuck(bookmarkData))
        return std::nullopt;
    return resolveWaiting(bookmarkData, timeoutSeconds);
}

std::optional<QUrl> URLResolver::resolveWaiting(const QByteArray &bookmarkData, double timeoutSeconds)
{
    auto cell = std::make_shared<ResultCell>();
    // Each resolution gets its own thread: one that hangs must not hold a worker of a shared pool.
    std::thread([cell, resolve = m_resolve, bookmarkData] {
        std::optional<QUrl> location;
        try {
            location = resolve(bookmarkData);
        } catch (...) {
            location.reset();
        }
        std::lock_guard lock(cell->mutex);
        cell->location = std::move(location);
        cell->finished = true;
        cell->done.notify_all();
    }).detach();

    std::optional<QUrl> result;
    {
        const double seconds = std::isnan(timeoutSeconds) ? 0.0 : std::clamp(timeoutSeconds, 0.0, 1.0e6);
        const auto timeout = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(seconds));
        std::unique_lock lock(cell->mutex);
        cell->done.wait_for(lock, timeout, [&] { return cell->finished; });
        result = cell->location;
    }
    if (!result) {
        QWriteLocker lock(&m_lock);
        if (!m_stuckURLs.contains(bookmarkData))
            m_stuckURLs.append(bookmarkData);
    }
    return result;
}

} // namespace KivUtilities

#pragma once

#include <QByteArray>
#include <QList>
#include <QReadWriteLock>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace KivUtilities {

// Resolves bookmark data in the background and waits only up to a time-out. Data that once gave no
// location in time (or failed to resolve) is remembered as stuck and answered at once with nothing
// from then on, so a bad bookmark costs the wait only once per resolver. Callers may come from any
// thread; each call blocks its thread for at most about the time-out.
class URLResolver
{
public:
    // Resolves one bookmark; may take long. The default resolves FileBookmark data.
    using Resolve = std::function<std::optional<QUrl>(const QByteArray &)>;

    explicit URLResolver(Resolve resolve = {});

    // The process-wide resolver, made on first use; it can be replaced.
    static URLResolver &shared();
    static void setShared(std::unique_ptr<URLResolver> resolver);

    // Nothing at once for stuck data; otherwise resolveWaiting().
    std::optional<QUrl> resolve(const QByteArray &bookmarkData, double timeoutSeconds);
    // Resolves on a background thread and waits up to the time-out; marks the data stuck when no
    // location came. A resolution still running at the time-out goes on, and its late result is
    // dropped.
    std::optional<QUrl> resolveWaiting(const QByteArray &bookmarkData, double timeoutSeconds);

    bool isStuck(const QByteArray &bookmarkData) const;
    QList<QByteArray> stuckURLs() const;

private:
    Resolve m_resolve;
    mutable QReadWriteLock m_lock;
    QList<QByteArray> m_stuckURLs;
};

} // namespace KivUtilities

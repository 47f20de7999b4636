#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

// One download of the update feed. The download itself lives in a small plugin that is loaded on
// the first check (KivUpdatesFetch), so that starting the program does not load the network
// libraries, which most starts never use.
class FeedFetch
{
public:
    struct Callbacks
    {
        std::function<void(qint64 received, qint64 total)> progress;
        // Once, when the download has ended: done, failed or aborted.
        std::function<void()> finished;
    };

    // Ends the download; finished follows.
    virtual void abort() = 0;
    // After finished: empty when the download succeeded, otherwise why it failed.
    virtual QString errorString() const = 0;
    virtual QByteArray read(qint64 maximum) = 0;
    // Gives the download up: no callback follows, and it is deleted once control returns to the
    // event loop (so a callback may dispose of its own download).
    virtual void dispose() = 0;

protected:
    virtual ~FeedFetch() = default;
};

// The plugin's entry point: starts a GET of `url` that ends after `timeoutMs` in all and follows at
// most `redirects` redirects that keep the connection as safe as it was.
using StartFeedFetch = FeedFetch *(*)(const QUrl &url, int timeoutMs, int redirects,
                                      FeedFetch::Callbacks callbacks);
inline constexpr const char *startFeedFetchSymbol = "kivUpdatesStartFeedFetch";

#pragma once

#include "KivUpdates/UpdateFeed.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <functional>

class FeedFetch;

// Looks for a newer version in the update feed whose address is the setting "updateFeedURL".
// Without an address the program is updated by the system's package manager: automatic checks do
// nothing and a user's check says so. A check never blocks: the feed is fetched in the background
// with a time-out and a size limit.
class Updater : public QObject
{
    Q_OBJECT

public:
    static inline const QString feedURLKey = QStringLiteral("updateFeedURL");
    static constexpr std::chrono::milliseconds timeout {10000};
    static constexpr std::chrono::hours automaticInterval {24};

    struct Result
    {
        enum class Kind { noFeed, upToDate, newer, failed };
        Kind kind = Kind::noFeed;
        FeedItem item; // the newest release of the feed (upToDate, newer)
        QString message; // why the check failed
    };

    // The running version defaults to the application's.
    using VersionSource = std::function<QString()>;
    explicit Updater(VersionSource currentVersion = {}, QObject *parent = nullptr);
    ~Updater() override;

    bool automaticallyChecksForUpdates() const { return m_automaticallyChecks; }
    // Automatic checks run once a day while on.
    void setAutomaticallyChecksForUpdates(bool automatic);
    // One check now that speaks only when there is a newer version.
    void checkForUpdatesInBackground();
    // One check now that tells the user its result, whatever it is.
    void checkForUpdates();
    bool isChecking() const { return m_fetch != nullptr; }
    // How long a fetch may take in all (10 s; tests shorten it).
    void setTimeout(std::chrono::milliseconds limit) { m_deadline.setInterval(limit); }

    // How results reach the user; alerts by default (tests replace it).
    using Presenter = std::function<void(const Result &result, bool userInitiated)>;
    void setPresenter(Presenter presenter) { m_presenter = std::move(presenter); }
    // The alerts of a result: a user's check always hears one, an automatic one only of a newer version.
    static void presentWithAlerts(const Result &result, bool userInitiated);

signals:
    void checkFinished(const Updater::Result &result, bool userInitiated);

private:
    void startCheck(bool userInitiated);
    void finish(const Result &result);
    void replyFinished();
    void fail(const QString &message);

    VersionSource m_currentVersion;
    bool m_automaticallyChecks = false;
    QTimer m_automaticTimer;
    QTimer m_deadline;
    FeedFetch *m_fetch = nullptr;
    bool m_userInitiated = false;
    QString m_abortReason;
    Presenter m_presenter;
};

Q_DECLARE_METATYPE(Updater::Result)

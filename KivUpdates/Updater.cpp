#include "KivUpdates/Updater.h"

#include "KivUpdates/FeedFetch.h"

#include "platform/Alerts.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("KivUpdates", source);
}

const char *tooLarge = QT_TRANSLATE_NOOP("KivUpdates", "The update feed is too large.");

// The download plugin, next to the program (a build) or in the folder it is installed to; loaded
// once and kept.
StartFeedFetch feedFetchStarter()
{
    static const StartFeedFetch start = [] {
        const QString name = QStringLiteral("libKivUpdatesFetch.so");
        const QString programFolder = QCoreApplication::applicationDirPath();
        for (const QString &path :
             {QDir(programFolder).filePath(name),
              QDir(programFolder).filePath(QStringLiteral(KIVUPDATES_FETCH_FOLDER "/") + name)}) {
            QLibrary library(path);
            if (const auto found = reinterpret_cast<StartFeedFetch>(library.resolve(startFeedFetchSymbol)))
                return found;
        }
        qWarning("updates: the download plugin %s was not found", qPrintable(name));
        return StartFeedFetch(nullptr);
    }();
    return start;
}

} // namespace

Updater::Updater(VersionSource currentVersion, QObject *parent)
    : QObject(parent)
    , m_currentVersion(std::move(currentVersion))
    , m_presenter(&Updater::presentWithAlerts)
{
    if (!m_currentVersion)
        m_currentVersion = [] {
            return QCoreApplication::applicationVersion();
        };
    m_automaticTimer.setInterval(automaticInterval);
    connect(&m_automaticTimer, &QTimer::timeout, this, &Updater::checkForUpdatesInBackground);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(timeout);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_abortReason = text("The update server did not answer in time.");
        if (m_fetch)
            m_fetch->abort();
    });
}

Updater::~Updater()
{
    if (m_fetch)
        m_fetch->dispose();
}

void Updater::setAutomaticallyChecksForUpdates(bool automatic)
{
    m_automaticallyChecks = automatic;
    if (automatic)
        m_automaticTimer.start();
    else
        m_automaticTimer.stop();
}

void Updater::checkForUpdatesInBackground()
{
    startCheck(false);
}

void Updater::checkForUpdates()
{
    startCheck(true);
}

void Updater::startCheck(bool userInitiated)
{
    if (m_fetch) {
        // One check at a time; a user asking meanwhile hears the result of the running one.
        m_userInitiated = m_userInitiated || userInitiated;
        return;
    }
    m_userInitiated = userInitiated;
    m_abortReason.clear();
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    const QString address = defaults.value(feedURLKey).toString().trimmed();
    if (address.isEmpty()) {
        finish(Result {Result::Kind::noFeed, {}, {}});
        return;
    }
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))
        || url.host().isEmpty()) {
        fail(text("The update feed address is not valid."));
        return;
    }
    const StartFeedFetch start = feedFetchStarter();
    if (!start) {
        fail(text("The update feed cannot be fetched: a part of the program is missing."));
        return;
    }
    FeedFetch::Callbacks callbacks;
    callbacks.progress = [this](qint64 received, qint64 total) {
        if (m_fetch && (received > UpdateFeed::maximumSize || total > UpdateFeed::maximumSize)) {
            m_abortReason = text(tooLarge);
            m_fetch->abort();
        }
    };
    callbacks.finished = [this] {
        replyFinished();
    };
    m_fetch = start(url, int(timeout.count()), 5, std::move(callbacks));
    m_deadline.start();
}

void Updater::replyFinished()
{
    m_deadline.stop();
    FeedFetch *fetch = m_fetch;
    m_fetch = nullptr;
    if (!fetch)
        return;
    const QString error = fetch->errorString();
    const QByteArray document = error.isEmpty() ? fetch->read(UpdateFeed::maximumSize + 1) : QByteArray();
    fetch->dispose();
    if (!m_abortReason.isEmpty()) {
        fail(m_abortReason);
        return;
    }
    if (!error.isEmpty()) {
        fail(error);
        return;
    }
    try {
        const FeedItem newest = UpdateFeed::newest(UpdateFeed::parse(document));
        const KivUtilities::Version current(m_currentVersion());
        finish(Result {newest.version > current ? Result::Kind::newer : Result::Kind::upToDate, newest, {}});
    } catch (const UpdateFeed::Error &error) {
        fail(text(error.what()));
    }
}

void Updater::fail(const QString &message)
{
    finish(Result {Result::Kind::failed, {}, message});
}

void Updater::finish(const Result &result)
{
    const bool userInitiated = m_userInitiated;
    m_userInitiated = false;
    emit checkFinished(result, userInitiated);
    if (m_presenter)
        m_presenter(result, userInitiated);
}

void Updater::presentWithAlerts(const Result &result, bool userInitiated)
{
    const QString name = QCoreApplication::applicationName();
    Platform::Alert alert;
    alert.style = Platform::Alert::Style::Informational;
    alert.buttons = {text("OK")};
    switch (result.kind) {
    case Result::Kind::noFeed:
        if (!userInitiated)
            return;
        alert.message = text("Updates come from your package manager");
        alert.informativeText =
            text("%1 is installed and updated by your system's package manager. Use it to look for a newer "
                 "version.")
                .arg(name);
        break;
    case Result::Kind::upToDate:
        if (!userInitiated)
            return;
        alert.message = text("You're up to date.");
        alert.informativeText =
            text("%1 %2 is the newest version available.").arg(name, QCoreApplication::applicationVersion());
        break;
    case Result::Kind::newer:
        alert.message = text("A new version of %1 is available!").arg(name);
        alert.informativeText =
            text("%1 %2 is available. You have %3.")
                .arg(name, result.item.version.string, QCoreApplication::applicationVersion());
        if (!result.item.link.isEmpty()) {
            alert.buttons = {text("Open Release Page"), text("Later")};
            alert.cancelButton = 1;
        }
        break;
    case Result::Kind::failed:
        if (!userInitiated)
            return;
        alert.style = Platform::Alert::Style::Warning;
        alert.message = text("Could not check for updates");
        alert.informativeText = result.message;
        break;
    }
    const Platform::AlertResult answer = Platform::Alerts::run(alert);
    if (result.kind == Result::Kind::newer && !result.item.link.isEmpty() && answer.button == 0)
        Platform::Workspace::shared().openUrl(result.item.link);
}

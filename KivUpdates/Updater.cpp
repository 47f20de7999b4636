#include "KivUpdates/Updater.h"

#include "platform/Alerts.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("KivUpdates", source);
}

const char *tooLarge = QT_TRANSLATE_NOOP("KivUpdates", "The update feed is too large.");

} // namespace

Updater::Updater(VersionSource currentVersion, QObject *parent)
    : QObject(parent)
    , m_currentVersion(std::move(currentVersion))
    , m_network(new QNetworkAccessManager(this))
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
        if (m_reply)
            m_reply->abort();
    });
}

Updater::~Updater()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
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
    if (m_reply) {
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
    QNetworkRequest request(url);
    request.setTransferTimeout(int(timeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (received > UpdateFeed::maximumSize || total > UpdateFeed::maximumSize) {
            m_abortReason = text(tooLarge);
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::finished, this, &Updater::replyFinished);
    m_deadline.start();
}

void Updater::replyFinished()
{
    m_deadline.stop();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (!m_abortReason.isEmpty()) {
        fail(m_abortReason);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(reply->errorString());
        return;
    }
    const QByteArray document = reply->read(UpdateFeed::maximumSize + 1);
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

#include "KivUpdates/FeedFetch.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

namespace {

QNetworkAccessManager &network()
{
    // Made on the first download, on the thread of the checks, and gone with the application.
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return *manager;
}

class NetworkFeedFetch final
    : public QObject
    , public FeedFetch
{
public:
    NetworkFeedFetch(QNetworkReply *reply, Callbacks callbacks)
        : m_reply(reply)
        , m_callbacks(std::move(callbacks))
    {
        m_reply->setParent(this);
        connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
            if (m_callbacks.progress)
                m_callbacks.progress(received, total);
        });
        connect(m_reply, &QNetworkReply::finished, this, [this] {
            if (const auto finished = m_callbacks.finished)
                finished();
        });
    }

    void abort() override { m_reply->abort(); }
    QString errorString() const override
    {
        return m_reply->error() == QNetworkReply::NoError ? QString() : m_reply->errorString();
    }
    QByteArray read(qint64 maximum) override { return m_reply->read(maximum); }
    void dispose() override
    {
        m_callbacks = {};
        m_reply->disconnect(this);
        if (m_reply->isRunning())
            m_reply->abort();
        deleteLater();
    }

private:
    QNetworkReply *m_reply;
    Callbacks m_callbacks;
};

} // namespace

extern "C" Q_DECL_EXPORT FeedFetch *kivUpdatesStartFeedFetch(const QUrl &url, int timeoutMs, int redirects,
                                                             FeedFetch::Callbacks callbacks)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(redirects);
    return new NetworkFeedFetch(network().get(request), std::move(callbacks));
}

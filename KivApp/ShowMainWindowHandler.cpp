#include "ShowMainWindowHandler.h"

#include "platform/NotificationCenter.h"

namespace KivApp {

ShowMainWindowHandler::ShowMainWindowHandler(QString windowId, std::function<void(const QString &)> open,
                                             QObject *parent)
    : QObject(parent)
    , m_windowId(std::move(windowId))
    , m_open(std::move(open))
{
    connect(&Platform::NotificationCenter::defaultCenter(), &Platform::NotificationCenter::posted, this,
            [this](const QString &name, const QVariantMap &) {
                if (name == notificationName && m_open)
                    m_open(m_windowId);
            });
}

void ShowMainWindowHandler::post()
{
    Platform::NotificationCenter::defaultCenter().post(notificationName);
}

} // namespace KivApp

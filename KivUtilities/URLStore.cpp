#include "KivUtilities/URLStore.h"

#include "KivUtilities/Url.h"
#include "platform/Workspace.h"

namespace KivUtilities::URLStore {

QUrl rawURL(const QString &rawValue)
{
    const QUrl link(rawValue, QUrl::StrictMode);
    if (!link.isValid() || link.scheme().isEmpty())
        qFatal("The web address \"%s\" of the program's own table is not valid", qPrintable(rawValue));
    return link;
}

QUrl url(const QString &rawValue, bool addingCampaign, const QMap<QString, QString> &extraItems)
{
    QUrl link = rawURL(rawValue);
    if (addingCampaign)
        link = addingCampaignQueryItems(link);
    return addingQueryItems(link, extraItems);
}

void open(const QString &rawValue, bool addingCampaign, const QMap<QString, QString> &extraItems)
{
    Platform::Workspace::shared().openUrl(url(rawValue, addingCampaign, extraItems));
}

} // namespace KivUtilities::URLStore

#include "Tapestrel/ui/NotAvailableAppsObserver.h"

#include "Tapestrel/model/AppConfigStore.h"

NotAvailableAppsObserver::NotAvailableAppsObserver(QStringList apps, const AppConfigStore *store,
                                                   QObject *parent)
    : QObject(parent)
    , m_apps(std::move(apps))
    , m_store(store)
{
    refresh();
}

void NotAvailableAppsObserver::refresh()
{
    QList<AppConfig *> missing;
    for (const QString &id : m_apps) {
        AppConfig *config = m_store ? m_store->config(id) : nullptr;
        if (config && !config->isInstalled())
            missing.append(config);
    }
    m_notAvailableApps = missing;
    emit notAvailableAppsChanged();
}

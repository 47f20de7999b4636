#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

class AppConfig;
class AppConfigStore;

// Which of a tab's applications are not installed, in the tab's order. Worked out when made and
// again on refresh(); nothing listens for installations in between.
class NotAvailableAppsObserver : public QObject
{
    Q_OBJECT

public:
    // `apps` are application ids; one that the registry does not hold is skipped. The registry
    // must outlive the observer (the main controller's lives as long as the process).
    NotAvailableAppsObserver(QStringList apps, const AppConfigStore *store, QObject *parent = nullptr);

    QList<AppConfig *> notAvailableApps() const { return m_notAvailableApps; }
    QStringList apps() const { return m_apps; }

    void refresh();

signals:
    void notAvailableAppsChanged();

private:
    QStringList m_apps;
    const AppConfigStore *m_store;
    QList<AppConfig *> m_notAvailableApps;
};

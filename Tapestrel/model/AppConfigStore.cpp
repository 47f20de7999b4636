#include "Tapestrel/model/AppConfigStore.h"

#include <QtGlobal>

AppConfigStore::AppConfigStore(std::vector<std::unique_ptr<AppConfig>> configs)
    : m_configs(std::move(configs))
{ }

AppConfigStore::~AppConfigStore() = default;

QList<AppConfig *> AppConfigStore::configs() const
{
    QList<AppConfig *> list;
    for (const auto &record : m_configs)
        list.append(record.get());
    return list;
}

AppConfig *AppConfigStore::config(const QString &id) const
{
    for (const auto &record : m_configs) {
        if (record->id() == id)
            return record.get();
    }
    return nullptr;
}

QList<AppConfig *> AppConfigStore::multiEditionConfigs() const
{
    QList<AppConfig *> list;
    for (const auto &record : m_configs) {
        if (record->bundleIDs().size() >= 2)
            list.append(record.get());
    }
    return list;
}

void AppConfigStore::missing(const char *typeName)
{
    qFatal("The application records lack %s", typeName);
}

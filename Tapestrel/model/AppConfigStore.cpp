#include "Tapestrel/model/AppConfigStore.h"

#include "Tapestrel/model/AlfredAppConfig.h"
#include "Tapestrel/model/BearAppConfig.h"
#include "Tapestrel/model/CorvellaAppConfig.h"
#include "Tapestrel/model/ForkliftAppConfig.h"
#include "Tapestrel/model/ITermAppConfig.h"
#include "Tapestrel/model/LumapadAppConfig.h"
#include "Tapestrel/model/NotePlanAppConfig.h"
#include "Tapestrel/model/ObsidianAppConfig.h"
#include "Tapestrel/model/TerminalAppConfig.h"
#include "Tapestrel/model/VSCodeAppConfig.h"
#include "Tapestrel/model/XcodeAppConfig.h"

AppConfigStore::AppConfigStore()
{
    m_configs.push_back(std::make_unique<AlfredAppConfig>());
    m_configs.push_back(std::make_unique<BearAppConfig>());
    m_configs.push_back(std::make_unique<CorvellaAppConfig>());
    m_configs.push_back(std::make_unique<ForkliftAppConfig>());
    m_configs.push_back(std::make_unique<ITermAppConfig>());
    m_configs.push_back(std::make_unique<NotePlanAppConfig>());
    m_configs.push_back(std::make_unique<ObsidianAppConfig>());
    m_configs.push_back(std::make_unique<VSCodeAppConfig>());
    m_configs.push_back(std::make_unique<LumapadAppConfig>());
    m_configs.push_back(std::make_unique<XcodeAppConfig>());
    m_configs.push_back(std::make_unique<TerminalAppConfig>());
}

AppConfigStore::~AppConfigStore() = default;

QList<AppConfig *> AppConfigStore::configs() const
{
    QList<AppConfig *> list;
    for (const auto &record : m_configs)
        list.append(record.get());
    return list;
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

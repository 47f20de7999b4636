#pragma once

#include "Tapestrel/model/AppConfig.h"

#include <QList>

#include <memory>
#include <vector>

// The integrated applications, one record each, in a fixed order.
class AppConfigStore
{
public:
    AppConfigStore();
    ~AppConfigStore();
    AppConfigStore(const AppConfigStore &) = delete;
    AppConfigStore &operator=(const AppConfigStore &) = delete;

    QList<AppConfig *> configs() const;

    // The record of a concrete type. The store holds every record type, so this never fails for
    // the eleven record classes.
    template<typename T> T *config() const
    {
        for (const auto &record : m_configs) {
            if (auto *typed = dynamic_cast<T *>(record.get()))
                return typed;
        }
        return nullptr;
    }

    // The records of applications that come in more than one edition.
    QList<AppConfig *> multiEditionConfigs() const;

private:
    std::vector<std::unique_ptr<AppConfig>> m_configs;
};

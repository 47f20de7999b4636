#pragma once

#include "Tapestrel/model/AppConfig.h"

#include <QList>

#include <typeinfo>

#include <memory>
#include <vector>

// The integrated applications, one record each, in a fixed order. The main controller fills it with
// the program's records; the order is the order in which the not-installed list shows them.
class AppConfigStore
{
public:
    explicit AppConfigStore(std::vector<std::unique_ptr<AppConfig>> configs);
    ~AppConfigStore();
    AppConfigStore(const AppConfigStore &) = delete;
    AppConfigStore &operator=(const AppConfigStore &) = delete;

    QList<AppConfig *> configs() const;

    // The first record of a concrete type, or nullptr.
    template<typename T> T *config() const
    {
        for (const auto &record : m_configs) {
            if (auto *typed = dynamic_cast<T *>(record.get()))
                return typed;
        }
        return nullptr;
    }
    // The record of a concrete type, which the caller cannot do without: a missing record is a fault
    // of the program's composition and stops it.
    template<typename T> T *requireConfig() const
    {
        T *typed = config<T>();
        if (!typed)
            missing(typeid(T).name());
        return typed;
    }

    // The record with this id, or nullptr.
    AppConfig *config(const QString &id) const;

    // The records of applications that come in more than one edition.
    QList<AppConfig *> multiEditionConfigs() const;

private:
    [[noreturn]] static void missing(const char *typeName);

    std::vector<std::unique_ptr<AppConfig>> m_configs;
};

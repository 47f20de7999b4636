#pragma once

#include "Tapestrel/model/OptionModel.h"

#include <QList>

#include <functional>
#include <memory>
#include <vector>

class AppConfigStore;

// The registry of option models: one instance of each, in the order in which a profile is applied
// and its current settings are read.
class OptionStore
{
public:
    using Factory = std::function<std::vector<std::unique_ptr<OptionModel>>()>;

    // A registry of the program's option models, whose application models take their records from
    // the given store. The models are made on the first call of options().
    explicit OptionStore(AppConfigStore *configs);
    // A registry of other models (tests, benchmarks), made on first use by the factory.
    explicit OptionStore(Factory factory);
    ~OptionStore();
    OptionStore(const OptionStore &) = delete;
    OptionStore &operator=(const OptionStore &) = delete;

    // The process-wide registry over the main controller's application records.
    static OptionStore &shared();
    // Makes shared() return another registry (tests, benchmarks); nullptr restores the program's.
    static void setShared(OptionStore *store);

    const QList<OptionModel *> &options();

    // The first model whose key equals the text exactly, or nullptr.
    OptionModel *model(const QString &key);

    // The first model of a concrete type, or nullptr.
    template<typename T> T *optionModel()
    {
        for (OptionModel *model : options()) {
            if (auto *typed = dynamic_cast<T *>(model))
                return typed;
        }
        return nullptr;
    }

    // The program's 28 models in registry order.
    static std::vector<std::unique_ptr<OptionModel>> makeRegisteredModels(AppConfigStore *configs);

private:
    Factory m_factory;
    std::vector<std::unique_ptr<OptionModel>> m_owned;
    QList<OptionModel *> m_options;
    bool m_built = false;
};

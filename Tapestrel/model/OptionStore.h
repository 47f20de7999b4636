#pragma once

#include "Tapestrel/model/OptionModel.h"

#include <QList>

#include <functional>
#include <memory>
#include <vector>

// The registry of option models: one instance of each, in the order in which a profile is applied
// and its current settings are read.
class OptionStore
{
public:
    using Factory = std::function<std::vector<std::unique_ptr<OptionModel>>()>;

    // A registry of the models that the factory makes on the first call of options(). The program's
    // models are composed by the main controller, which knows the applications; this class knows only
    // the interface.
    explicit OptionStore(Factory factory);
    ~OptionStore();
    OptionStore(const OptionStore &) = delete;
    OptionStore &operator=(const OptionStore &) = delete;

    // The process-wide registry: the one set with setShared(), else the program's. Asking before the
    // main controller has installed the program's registry is a fault that stops the program.
    static OptionStore &shared();
    // Makes shared() return another registry (tests, benchmarks); nullptr restores the program's.
    static void setShared(OptionStore *store);
    // The program's registry, installed once by the main controller.
    static void setProgramShared(OptionStore *store);

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

private:
    Factory m_factory;
    std::vector<std::unique_ptr<OptionModel>> m_owned;
    QList<OptionModel *> m_options;
    bool m_built = false;
};

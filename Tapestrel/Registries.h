#pragma once

#include "Tapestrel/model/AppConfigStore.h"
#include "Tapestrel/model/OptionStore.h"

#include <memory>
#include <vector>

// The composition of the program's registries: the eleven integrated applications and the 28
// option models, in their fixed orders. It lives above the model, which knows only the interfaces,
// and above the applications and system options, which build on the model. The main controller
// holds one; tests and benchmarks may make their own.
class Registries
{
public:
    // The application records at once; the option models on the first use of optionStore().
    Registries();
    Registries(const Registries &) = delete;
    Registries &operator=(const Registries &) = delete;

    AppConfigStore &appConfigStore() { return m_appConfigStore; }
    OptionStore &optionStore() { return m_optionStore; }

    // The records in registry order: Alfred, Bear, Corvella, ForkLift, iTerm, NotePlan, Obsidian,
    // VS Code, Lumapad, Xcode, Terminal.
    static std::vector<std::unique_ptr<AppConfig>> makeAppConfigs();
    // The models in the order in which a profile is applied, each application model over its record
    // in the given store.
    static std::vector<std::unique_ptr<OptionModel>> makeOptionModels(const AppConfigStore &configs);

private:
    AppConfigStore m_appConfigStore;
    OptionStore m_optionStore;
};

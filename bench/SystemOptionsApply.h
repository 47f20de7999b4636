#pragma once

// The apply of a profile's thirteen system options, as the profile engine walks them, for the
// benchmarks that time it.

#include "Tapestrel/Registries.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

#include "Tapestrel/tests/system/options/SystemProfileSamples.h"

#include <QCoro/QCoroTask>

#include <memory>

namespace SystemOptionsApply {

inline std::unique_ptr<Profile> profileOf(const SystemProfileSamples::Values &values)
{
    auto profile = std::make_unique<Profile>("Bench");
    for (const auto &[key, value] : values)
        new Option(key, value, profile.get());
    return profile;
}

// Every system option but the background, in registry order.
inline QCoro::Task<void> apply(QPointer<Profile> profile)
{
    auto flag = std::make_shared<bool>(false);
    static Registries registries;
    for (OptionModel *model : registries.optionStore().options()) {
        if (!model->key().startsWith("system.") || model->key() == "system.desktop.background.picture")
            continue;
        if (!profile)
            co_return;
        co_await model->apply(profile->value(model->key()), profile, flag);
    }
}

} // namespace SystemOptionsApply

#pragma once

#include "KivUtilities/UserDefaultsObservation.h"
#include "KivUtilities/UserDefaultsValue.h"
#include "platform/UserDefaults.h"

#include <QList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <utility>

namespace KivUtilities {

// Typed access to the program's standard user defaults. Every key is stored under its raw text
// followed directly by the controller's suffix, so one key type can address several sets of values
// ("panelWidth" with the suffix "-main" is "panelWidth-main"). Defaults given to the constructor are
// registered (never written). Reads never fail: a missing key or a value of another type reads as
// nothing. Every write is stored at once.
template<UserDefaultsKey K> class UserDefaultsController
{
public:
    explicit UserDefaultsController(const QList<std::pair<K, DefaultsObject>> &defaults = {},
                                    QString keySuffix = QString())
        : m_keySuffix(std::move(keySuffix))
    {
        QVariantMap registered;
        for (const auto &[key, value] : defaults)
            registered.insert(defaultsKey(key), value.object());
        if (!registered.isEmpty())
            Platform::UserDefaults::standard().registerDefaults(registered);
    }

    QString keySuffix() const { return m_keySuffix; }
    QString defaultsKey(const K &key) const { return QString(toRawValue(key)) + m_keySuffix; }

    template<UserDefaultsValueType V> std::optional<V> get(const K &key) const
    {
        return userDefaultsValue<V>(Platform::UserDefaults::standard().value(defaultsKey(key)));
    }

    template<UserDefaultsValueType V> void set(const V &value, const K &key) const
    {
        Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
        defaults.setValue(defaultsKey(key), UserDefaultsValue<V>::defaultsObject(value));
        defaults.synchronize();
    }

    // Nothing removes the stored value, so the registered default shows again.
    template<UserDefaultsValueType V> void set(const std::optional<V> &value, const K &key) const
    {
        if (value)
            set(*value, key);
        else
            set(std::nullopt, key);
    }

    void set(std::nullopt_t, const K &key) const
    {
        Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
        defaults.remove(defaultsKey(key));
        defaults.synchronize();
    }

    // Keep the observation for as long as updates are wanted.
    template<UserDefaultsValueType V>
    std::unique_ptr<UserDefaultsObservation<V, K>> observe(const K &key,
                                                           std::function<void(const V &)> onUpdate) const
    {
        return std::make_unique<UserDefaultsObservation<V, K>>(key, m_keySuffix, std::move(onUpdate));
    }

private:
    const QString m_keySuffix;
};

} // namespace KivUtilities

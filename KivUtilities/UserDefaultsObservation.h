#pragma once

#include "KivUtilities/UserDefaultsValue.h"
#include "platform/UserDefaults.h"

#include <QObject>

#include <functional>
#include <utility>

namespace KivUtilities {

// Watches one key of the program's standard user defaults and hands each real change of its value,
// typed, to a function. Changes from no value, to no value, to a value that is not a V and writes
// of an equal value are not reported. The function runs on the thread that changed the value.
// Updates arrive until invalidate() or destruction.
template<UserDefaultsValueType V, UserDefaultsKey K> class UserDefaultsObservation
{
public:
    UserDefaultsObservation(K key, QString keySuffix, std::function<void(const V &)> onUpdate)
        : m_key(std::move(key))
        , m_keySuffix(std::move(keySuffix))
        , m_onUpdate(std::move(onUpdate))
    {
        const QString keyPath = QString(toRawValue(m_key)) + m_keySuffix;
        m_connection = QObject::connect(
            &Platform::UserDefaults::standard(), &Platform::UserDefaults::valueChanged,
            [keyPath, onUpdate = m_onUpdate](const QString &changedKey, const QVariant &oldValue,
                                             const QVariant &newValue) {
                if (changedKey != keyPath || !oldValue.isValid() || !newValue.isValid()
                    || oldValue == newValue)
                    return;
                if (const std::optional<V> typed = userDefaultsValue<V>(newValue))
                    onUpdate(*typed);
            });
    }
    ~UserDefaultsObservation() { invalidate(); }
    UserDefaultsObservation(const UserDefaultsObservation &) = delete;
    UserDefaultsObservation &operator=(const UserDefaultsObservation &) = delete;

    const K &key() const { return m_key; }
    QString keySuffix() const { return m_keySuffix; }
    bool isInvalidated() const { return m_invalidated; }

    void invalidate()
    {
        if (m_invalidated)
            return;
        QObject::disconnect(m_connection);
        m_invalidated = true;
    }

private:
    const K m_key;
    const QString m_keySuffix;
    const std::function<void(const V &)> m_onUpdate;
    QMetaObject::Connection m_connection;
    bool m_invalidated = false;
};

} // namespace KivUtilities

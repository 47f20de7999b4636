#pragma once

#include "KivUtilities/UserDefaultsValue.h"
#include "platform/UserDefaults.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <memory>

namespace KivUtilities {

// Watches any number of keys (without a suffix) of the program's standard user defaults and hands
// each real change of a key's value to that key's function, untyped. Changes from or to no value
// and writes of an equal value are not reported. Observing a key again replaces its function.
// Updates arrive until the observer is destroyed.
template<UserDefaultsKey K> class UserDefaultsObserver
{
public:
    using Handler = std::function<void(const QVariant &newValue)>;

    UserDefaultsObserver()
        : m_handlers(std::make_shared<QHash<QString, Handler>>())
    { }
    ~UserDefaultsObserver() { QObject::disconnect(m_connection); }
    UserDefaultsObserver(const UserDefaultsObserver &) = delete;
    UserDefaultsObserver &operator=(const UserDefaultsObserver &) = delete;

    void observe(const K &key, Handler handler)
    {
        m_handlers->insert(QString(toRawValue(key)), std::move(handler));
        if (m_connection)
            return;
        // One connection serves every key, so a key observed twice is still reported once.
        m_connection =
            QObject::connect(&Platform::UserDefaults::standard(), &Platform::UserDefaults::valueChanged,
                             [handlers = m_handlers](const QString &changedKey, const QVariant &oldValue,
                                                     const QVariant &newValue) {
                                 if (!oldValue.isValid() || !newValue.isValid() || oldValue == newValue)
                                     return;
                                 const auto it = handlers->constFind(changedKey);
                                 if (it != handlers->cend() && it.value()) {
                                     const Handler handler =
                                         it.value(); // it may replace itself while it runs
                                     handler(newValue);
                                 }
                             });
    }

    bool isObserving(const K &key) const { return m_handlers->contains(QString(toRawValue(key))); }

private:
    std::shared_ptr<QHash<QString, Handler>> m_handlers;
    QMetaObject::Connection m_connection;
};

} // namespace KivUtilities

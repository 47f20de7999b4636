#include "platform/SessionBusTypes.h"

#include <QDBusMetaType>
#include <QDBusVariant>
#include <QList>
#include <QVariantMap>

namespace Platform {

void registerSessionBusTypes()
{
    // Registering a type runs Qt D-Bus's own registration first, completely, on this thread.
    qDBusRegisterMetaType<QList<QVariantMap>>();
    qRegisterMetaType<QDBusVariant>();
}

} // namespace Platform

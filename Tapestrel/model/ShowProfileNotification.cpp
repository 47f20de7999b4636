#include "Tapestrel/model/ShowProfileNotification.h"

#include "platform/NotificationCenter.h"

void postShowProfileNotification(const QString &id)
{
    Platform::NotificationCenter::defaultCenter().post(ShowProfileNotification::name,
                                                       {{ShowProfileNotification::idKey, id}});
}

#include "Tapestrel/background/BuiltInBackground.h"

#include "Tapestrel/model/Profile.h"

BuiltInBackground::BuiltInBackground(const KivDesktopBackground::Background &background)
    : BuiltInBackground(Profile::newUuid(), background)
{ }

BuiltInBackground::BuiltInBackground(const QString &id, const KivDesktopBackground::Background &background)
    : m_id(id)
    , m_background(background)
{ }

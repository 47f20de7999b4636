#include "Tapestrel/apps/lumapad/LumapadSection.h"

QWidget *LumapadAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new LumapadSection(profile, this, store, parent);
}

#include "Tapestrel/apps/corvella/CorvellaSection.h"

QWidget *CorvellaAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new CorvellaSection(profile, this, store, parent);
}

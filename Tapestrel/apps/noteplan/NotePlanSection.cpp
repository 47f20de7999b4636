#include "Tapestrel/apps/noteplan/NotePlanSection.h"

QWidget *NotePlanAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new NotePlanSection(profile, this, store, parent);
}

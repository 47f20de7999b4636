#include "Tapestrel/apps/iterm/ITermSection.h"

QWidget *ITermAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new ITermSection(profile, this, store, parent);
}

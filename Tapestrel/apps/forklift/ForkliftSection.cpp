#include "Tapestrel/apps/forklift/ForkliftSection.h"

#include "Tapestrel/apps/forklift/ForkLiftThemeOptionModel.h"
#include "Tapestrel/apps/forklift/ForkliftAppConfig.h"

ForkliftSection::ForkliftSection(Profile *profile, const ForkliftAppConfig *config,
                                 SynchronizedOptionsStore *store, QWidget *parent)
    : AppSection(tr("ForkLift"), std::nullopt, profile, config,
                 rows({ForkLiftThemeOptionModel::optionKey()}, profile, store), {}, {}, parent)
{
    setObjectName(QStringLiteral("ForkliftSection"));
}

QWidget *ForkliftAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new ForkliftSection(profile, this, store, parent);
}

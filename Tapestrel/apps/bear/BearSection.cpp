#include "Tapestrel/apps/bear/BearSection.h"

#include "Tapestrel/apps/bear/BearAppConfig.h"
#include "Tapestrel/apps/bear/BearThemeOptionModel.h"

BearSection::BearSection(Profile *profile, const BearAppConfig *config, SynchronizedOptionsStore *store,
                         QWidget *parent)
    : AppSection(tr("Bear"), std::nullopt, profile, config,
                 rows({BearThemeOptionModel::optionKey()}, profile, store), {}, {}, parent)
{
    setObjectName(QStringLiteral("BearSection"));
}

QWidget *BearAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new BearSection(profile, this, store, parent);
}

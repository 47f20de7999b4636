#include "Tapestrel/apps/alfred/AlfredSection.h"

#include "Tapestrel/apps/alfred/AlfredAppConfig.h"
#include "Tapestrel/apps/alfred/AlfredThemeOptionModel.h"

AlfredSection::AlfredSection(Profile *profile, const AlfredAppConfig *config, SynchronizedOptionsStore *store,
                             QWidget *parent)
    : AppSection(tr("Alfred"), std::nullopt, profile, config,
                 rows({AlfredThemeOptionModel::optionKey()}, profile, store), {}, {}, parent)
{
    setObjectName(QStringLiteral("AlfredSection"));
}

QWidget *AlfredAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new AlfredSection(profile, this, store, parent);
}

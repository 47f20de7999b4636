#include "Tapestrel/apps/nova/NovaSection.h"

#include "Tapestrel/apps/nova/NovaAppConfig.h"
#include "Tapestrel/apps/nova/NovaEditorThemeOptionModel.h"

NovaSection::NovaSection(Profile *profile, const NovaAppConfig *config, SynchronizedOptionsStore *store,
                         QWidget *parent)
    : AppSection(tr("Nova"), std::nullopt, profile, config,
                 rows({NovaEditorThemeOptionModel::optionKey()}, profile, store), {}, {}, parent)
{
    setObjectName(QStringLiteral("NovaSection"));
}

QWidget *NovaAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new NovaSection(profile, this, store, parent);
}

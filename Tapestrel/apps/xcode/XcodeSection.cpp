#include "Tapestrel/apps/xcode/XcodeSection.h"

#include "Tapestrel/apps/xcode/XcodeAppConfig.h"
#include "Tapestrel/apps/xcode/XcodeThemeOptionModel.h"

XcodeSection::XcodeSection(Profile *profile, const XcodeAppConfig *config, SynchronizedOptionsStore *store,
                           QWidget *parent)
    : AppSection(tr("Xcode"), std::nullopt, profile, config,
                 rows({XcodeThemeOptionModel::optionKey()}, profile, store), {}, {}, parent)
{
    setObjectName(QStringLiteral("XcodeSection"));
}

QWidget *XcodeAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new XcodeSection(profile, this, store, parent);
}

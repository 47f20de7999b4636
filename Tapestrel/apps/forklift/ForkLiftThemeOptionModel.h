#pragma once

#include "Tapestrel/apps/forklift/ForkliftAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "apps.forklift.theme". Applying and reading are not part of the program yet: see the base class.
class ForkLiftThemeOptionModel : public PendingThemeOptionModel
{
public:
    explicit ForkLiftThemeOptionModel(ForkliftAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.forklift.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Forklift"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    ForkliftAppConfig *config() const { return m_config; }

private:
    ForkliftAppConfig *m_config;
};

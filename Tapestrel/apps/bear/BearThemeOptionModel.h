#pragma once

#include "Tapestrel/apps/bear/BearAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "apps.bear.theme". Applying and reading are not part of the program yet: see the base class.
class BearThemeOptionModel : public PendingThemeOptionModel
{
public:
    BearThemeOptionModel(BearAppConfig *config, QString domain);

    static QString optionKey() { return QStringLiteral("apps.bear.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Bear"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    BearAppConfig *config() const { return m_config; }
    QString domain() const { return m_domain; }

private:
    BearAppConfig *m_config;
    QString m_domain;
};

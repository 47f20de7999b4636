#pragma once

#include "Tapestrel/apps/corvella/CorvellaAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "apps.corvella.theme". Applying and reading are not part of the program yet: see the base class.
class CorvellaThemeOptionModel : public PendingThemeOptionModel
{
public:
    explicit CorvellaThemeOptionModel(CorvellaAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.corvella.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Corvella"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *accessoryView(QWidget *parent) override;

    CorvellaAppConfig *config() const { return m_config; }

private:
    CorvellaAppConfig *m_config;
};

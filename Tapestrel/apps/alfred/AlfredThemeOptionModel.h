#pragma once

#include "Tapestrel/apps/alfred/AlfredAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "apps.alfred.theme". Applying and reading are not part of the program yet: see the base class.
class AlfredThemeOptionModel : public PendingThemeOptionModel
{
public:
    explicit AlfredThemeOptionModel(AlfredAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.alfred.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Alfred"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *accessoryView(QWidget *parent) override;

    AlfredAppConfig *config() const { return m_config; }

private:
    AlfredAppConfig *m_config;
};

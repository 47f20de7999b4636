#pragma once

#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "apps.noteplan.theme". Applying and reading are not part of the program yet: see the base class.
class NotePlanThemeOptionModel : public PendingThemeOptionModel
{
public:
    explicit NotePlanThemeOptionModel(NotePlanAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.noteplan.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("NotePlan"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *accessoryView(QWidget *parent) override;

    NotePlanAppConfig *config() const { return m_config; }

private:
    NotePlanAppConfig *m_config;
};

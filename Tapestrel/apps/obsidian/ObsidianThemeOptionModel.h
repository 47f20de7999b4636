#pragma once

#include "Tapestrel/model/ObsidianAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "apps.obsidian.theme". Applying and reading are not part of the program yet: see the base class.
class ObsidianThemeOptionModel : public PendingThemeOptionModel
{
public:
    explicit ObsidianThemeOptionModel(ObsidianAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.obsidian.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Obsidian"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *accessoryView(QWidget *parent) override;

    ObsidianAppConfig *config() const { return m_config; }

private:
    ObsidianAppConfig *m_config;
};

#pragma once

#include "Tapestrel/model/ObsidianAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "apps.obsidian.accentColor". Applying and reading are not part of the program yet: see the base
// class.
class ObsidianAccentColorOptionModel : public PendingThemeOptionModel
{
public:
    explicit ObsidianAccentColorOptionModel(ObsidianAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.obsidian.accentColor"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Obsidian"), QStringLiteral("Accent Color")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    ObsidianAppConfig *config() const { return m_config; }

private:
    ObsidianAppConfig *m_config;
};

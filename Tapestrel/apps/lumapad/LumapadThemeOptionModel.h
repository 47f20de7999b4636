#pragma once

#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "apps.lumapad.theme". Applying and reading are not part of the program yet: see the base class.
class LumapadThemeOptionModel : public PendingThemeOptionModel
{
public:
    explicit LumapadThemeOptionModel(LumapadAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.lumapad.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Lumapad"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *accessoryView(QWidget *parent) override;

    LumapadAppConfig *config() const { return m_config; }

private:
    LumapadAppConfig *m_config;
};

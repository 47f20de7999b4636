#pragma once

#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "apps.lumapad.showBackground". Applying and reading are not part of the program yet: see the
// base class.
class LumapadShowBackgroundOptionModel : public PendingOptionModel
{
public:
    LumapadShowBackgroundOptionModel(LumapadAppConfig *config, bool defaultValue);

    static QString optionKey() { return QStringLiteral("apps.lumapad.showBackground"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Lumapad"), QStringLiteral("Show Note Background")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    LumapadAppConfig *config() const { return m_config; }
    bool defaultValue() const { return m_defaultValue; }

private:
    LumapadAppConfig *m_config;
    bool m_defaultValue;
};

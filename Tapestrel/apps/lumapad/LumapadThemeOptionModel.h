#pragma once

#include "Tapestrel/apps/frame/ThemeFileOptionModel.h"
#include "Tapestrel/apps/lumapad/LumapadThemePicker.h"
#include "Tapestrel/apps/lumapad/LumapadThemeStore.h"

// The option "apps.lumapad.theme": the file name of a theme file, written into the "theme" default of
// Lumapad's edition in use.
class LumapadThemeOptionModel
    : public ThemeFileOptionModel<LumapadThemeStore, LumapadAppConfig, LumapadThemePicker>
{
public:
    using ThemeFileOptionModel::ThemeFileOptionModel;

    static QString optionKey() { return QStringLiteral("apps.lumapad.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Lumapad"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};

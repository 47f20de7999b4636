#pragma once

#include "Tapestrel/apps/corvella/CorvellaThemePicker.h"
#include "Tapestrel/apps/corvella/CorvellaThemeStore.h"
#include "Tapestrel/apps/frame/ThemeFileOptionModel.h"

// The option "apps.corvella.theme": the full path of a theme file, written into the "theme" default of
// Corvella's edition in use.
class CorvellaThemeOptionModel
    : public ThemeFileOptionModel<CorvellaThemeStore, CorvellaAppConfig, CorvellaThemePicker>
{
public:
    using ThemeFileOptionModel::ThemeFileOptionModel;

    static QString optionKey() { return QStringLiteral("apps.corvella.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Corvella"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};

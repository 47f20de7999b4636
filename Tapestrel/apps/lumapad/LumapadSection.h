#pragma once

#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/apps/lumapad/LumapadShowBackgroundOptionModel.h"
#include "Tapestrel/apps/lumapad/LumapadThemeOptionModel.h"
#include "Tapestrel/widgets/AppSection.h"

// Lumapad's editor section: its theme, then whether notes show their background.
class LumapadSection : public AppSection
{
    Q_OBJECT

public:
    LumapadSection(Profile *profile, const LumapadAppConfig *config, SynchronizedOptionsStore *store,
                   QWidget *parent = nullptr)
        : AppSection(
            tr("Lumapad"), std::nullopt, profile, config,
            rows({LumapadThemeOptionModel::optionKey(), LumapadShowBackgroundOptionModel::optionKey()},
                 profile, store),
            {}, {}, parent)
    { }
};

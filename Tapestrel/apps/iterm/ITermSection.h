#pragma once

#include "Tapestrel/apps/iterm/ITermAppConfig.h"
#include "Tapestrel/apps/iterm/ITermThemeOptionModel.h"
#include "Tapestrel/widgets/AppSection.h"

// iTerm's editor section: its theme.
class ITermSection : public AppSection
{
    Q_OBJECT

public:
    ITermSection(Profile *profile, const ITermAppConfig *config, SynchronizedOptionsStore *store,
                 QWidget *parent = nullptr)
        : AppSection(tr("iTerm"), std::nullopt, profile, config,
                     rows({ITermThemeOptionModel::optionKey()}, profile, store), {}, {}, parent)
    { }
};

#pragma once

#include "Tapestrel/apps/corvella/CorvellaAppConfig.h"
#include "Tapestrel/apps/corvella/CorvellaThemeOptionModel.h"
#include "Tapestrel/widgets/AppSection.h"

// Corvella's editor section: its theme.
class CorvellaSection : public AppSection
{
    Q_OBJECT

public:
    CorvellaSection(Profile *profile, const CorvellaAppConfig *config, SynchronizedOptionsStore *store,
                    QWidget *parent = nullptr)
        : AppSection(tr("Corvella"), std::nullopt, profile, config,
                     rows({CorvellaThemeOptionModel::optionKey()}, profile, store), {}, {}, parent)
    { }
};

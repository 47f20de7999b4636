#pragma once

#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeOptionModel.h"
#include "Tapestrel/widgets/AppSection.h"

// NotePlan's editor section: its theme.
class NotePlanSection : public AppSection
{
    Q_OBJECT

public:
    NotePlanSection(Profile *profile, const NotePlanAppConfig *config, SynchronizedOptionsStore *store,
                    QWidget *parent = nullptr)
        : AppSection(tr("NotePlan"), std::nullopt, profile, config,
                     rows({NotePlanThemeOptionModel::optionKey()}, profile, store), {}, {}, parent)
    { }
};

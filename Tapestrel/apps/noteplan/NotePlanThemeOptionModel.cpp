#include "Tapestrel/apps/noteplan/NotePlanThemeOptionModel.h"

#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"

NotePlanThemeOptionModel::NotePlanThemeOptionModel(NotePlanAppConfig *config)
    : m_config(config)
{ }

QWidget *NotePlanThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

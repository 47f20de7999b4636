#include "Tapestrel/apps/corvella/CorvellaThemeOptionModel.h"

#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"

CorvellaThemeOptionModel::CorvellaThemeOptionModel(CorvellaAppConfig *config)
    : m_config(config)
{ }

QWidget *CorvellaThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

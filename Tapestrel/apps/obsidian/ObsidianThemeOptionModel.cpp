#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"

#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"

ObsidianThemeOptionModel::ObsidianThemeOptionModel(ObsidianAppConfig *config)
    : m_config(config)
{ }

QWidget *ObsidianThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

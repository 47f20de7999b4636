#include "Tapestrel/apps/vscode/VSCodeThemeOptionModel.h"

#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"

VSCodeThemeOptionModel::VSCodeThemeOptionModel(VSCodeAppConfig *config)
    : m_config(config)
{ }

QWidget *VSCodeThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

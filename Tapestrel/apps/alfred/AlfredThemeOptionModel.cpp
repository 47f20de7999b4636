#include "Tapestrel/apps/alfred/AlfredThemeOptionModel.h"

#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"

AlfredThemeOptionModel::AlfredThemeOptionModel(AlfredAppConfig *config)
    : m_config(config)
{ }

QWidget *AlfredThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

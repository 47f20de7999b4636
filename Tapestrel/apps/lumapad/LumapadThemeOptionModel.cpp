#include "Tapestrel/apps/lumapad/LumapadThemeOptionModel.h"

#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"

LumapadThemeOptionModel::LumapadThemeOptionModel(LumapadAppConfig *config)
    : m_config(config)
{ }

QWidget *LumapadThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

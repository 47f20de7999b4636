#include "Tapestrel/apps/iterm/ITermThemeOptionModel.h"

#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"

ITermThemeOptionModel::ITermThemeOptionModel(ITermAppConfig *config, QString bundleID)
    : m_config(config)
    , m_bundleID(std::move(bundleID))
{ }

QWidget *ITermThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"

#include "Tapestrel/apps/obsidian/ObsidianAppearanceFileController.h"
#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"

ObsidianThemeOptionModel::ObsidianThemeOptionModel(ObsidianAppConfig *config)
    : m_config(config)
{ }

QCoro::Task<void> ObsidianThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    if (value == doNotSetValue)
        co_return;
    co_await ObsidianAppearanceFileController::write(ObsidianAppearanceFileController::Member::cssTheme,
                                                     value, optionKey());
}

QCoro::Task<std::optional<QString>> ObsidianThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    co_return co_await ObsidianAppearanceFileController::read(
        ObsidianAppearanceFileController::Member::cssTheme);
}

QWidget *ObsidianThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

#include "Tapestrel/apps/obsidian/ObsidianAccentColorOptionModel.h"

#include "Tapestrel/apps/obsidian/ObsidianAccentColor.h"
#include "Tapestrel/apps/obsidian/ObsidianAccentColorPicker.h"
#include "Tapestrel/apps/obsidian/ObsidianAppearanceFileController.h"

ObsidianAccentColorOptionModel::ObsidianAccentColorOptionModel(ObsidianAppConfig *config)
    : m_config(config)
{ }

QWidget *ObsidianAccentColorOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new ObsidianAccentColorPicker(option, parent);
}

QCoro::Task<void> ObsidianAccentColorOptionModel::apply(QString value, QPointer<Profile>,
                                                        std::shared_ptr<bool>)
{
    using namespace ObsidianAccentColors;
    if (value.isEmpty() || value == toRawValue(ObsidianAccentColor::doNotChange))
        co_return;
    // The value is not checked further: a text that is no colour is written as it stands.
    const QString accent = value == toRawValue(ObsidianAccentColor::defaultColor) ? QString() : value;
    co_await ObsidianAppearanceFileController::write(ObsidianAppearanceFileController::Member::accentColor,
                                                     accent, optionKey());
}

QCoro::Task<std::optional<QString>> ObsidianAccentColorOptionModel::readCurrentValue(QPointer<Profile>)
{
    const std::optional<QString> accent = co_await ObsidianAppearanceFileController::read(
        ObsidianAppearanceFileController::Member::accentColor);
    // The file's empty text is Obsidian's own colour; the option's would set nothing.
    if (accent && accent->isEmpty())
        co_return ObsidianAccentColors::toRawValue(ObsidianAccentColor::defaultColor);
    co_return accent;
}

#pragma once

#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

// The base of an option model whose access to the system or to its application is not part of the
// program yet: applying throws OptionModelError::notAvailable, reading gives nothing, and the picker
// says that the option is unavailable. A model leaves this base once it can really apply and read.
class PendingOptionModel : public OptionModel
{
public:
    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
};

// The same for a theme option: with no themes to look in, no value names one.
class PendingThemeOptionModel
    : public PendingOptionModel
    , public ThemeContainer
{
public:
    std::optional<ThemeInfo> themeInfo(const Profile *) const override { return std::nullopt; }
};

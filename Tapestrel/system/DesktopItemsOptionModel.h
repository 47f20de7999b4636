#pragma once

#include "Tapestrel/model/OptionModel.h"

// Whether the desktop shows a kind of item (icons, widgets). The window manager keeps a hide
// setting for Stage Manager and one for the standard desktop; the option writes and reads the one
// that matches the Stage Manager value of the same profile. The option says "show", the setting
// "hide".
class DesktopItemsOptionModel : public OptionModel
{
public:
    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // The empty text changes nothing; any other text that is not yes or no throws OptionModelError.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // Nothing when the chosen hide key has no value.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

    QString hideKey(const Profile *profile) const;

protected:
    virtual QString stageManagerHideKey() const = 0;
    virtual QString standardHideKey() const = 0;
    virtual QString toggleTitle() const = 0;
};

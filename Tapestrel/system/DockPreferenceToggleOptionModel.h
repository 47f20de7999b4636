#pragma once

#include "Tapestrel/model/OptionModel.h"

// A yes/no option kept in System Events' Dock preferences: the Dock's auto-hiding and magnification
// and the menu bar's auto-hiding.
class DockPreferenceToggleOptionModel : public OptionModel
{
public:
    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // The empty text changes nothing; any other text that is not yes or no throws OptionModelError.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // "true" or "false"; unreadableValue() when System Events does not answer.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

    // The System Events property ("autohide", ...).
    virtual QString property() const = 0;
    virtual QString toggleTitle() const = 0;
    virtual QString unreadableValue() const { return QStringLiteral("false"); }
};

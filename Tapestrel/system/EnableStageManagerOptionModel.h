#pragma once

#include "Tapestrel/model/OptionModel.h"

// The option "system.desktop.stageManager.enable": "GloballyEnabled" of "com.apple.WindowManager".
class EnableStageManagerOptionModel : public OptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.stageManager.enable"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Desktop"), QStringLiteral("Enable Stage Manager")};
    }
    static QString domain() { return QStringLiteral("com.apple.WindowManager"); }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // The empty text changes nothing; any other text that is not yes or no throws OptionModelError.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // "true" or "false"; a domain without the key reads as on.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

    // Whether the profile's Stage Manager value reads as true, enabled in the profile or not.
    static bool isEnabledIn(const Profile *profile);
};

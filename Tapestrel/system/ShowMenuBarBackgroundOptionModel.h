#pragma once

#include "Tapestrel/model/OptionModel.h"

// The option "system.desktop.showMenuBarBackground": the global "SLSMenuBarUseBlurredAppearance".
// The registry does not hold it.
class ShowMenuBarBackgroundOptionModel : public OptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.showMenuBarBackground"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"),
                QStringLiteral("Show Menu Bar Background")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // The empty text changes nothing; any other text that is not yes or no throws OptionModelError.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // "true" only when the key reads as true.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
};

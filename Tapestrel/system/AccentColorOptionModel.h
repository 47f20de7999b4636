#pragma once

#include "Tapestrel/model/OptionModel.h"

// The option "system.ui.accentColor": the global "AppleAccentColor" integer, absent for multicolor.
// Every apply writes (or deletes) the key and then tells running applications to redraw.
class AccentColorOptionModel : public OptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.ui.accentColor"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"), QStringLiteral("Theme Color")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // A text that names no colour throws OptionModelError; the empty text changes nothing.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // Always a colour's name; multicolor when the key is absent or holds an unknown value.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
};

#pragma once

#include "Tapestrel/model/OptionModel.h"

// The option "system.desktop.liquidGlassStyle": the global "NSGlassDiffusionSetting", "0" for the
// clear and "1" for the tinted look.
class LiquidGlassStyleOptionModel : public OptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.liquidGlassStyle"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"), QStringLiteral("Liquid Glass")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // Writes and announces the style only when it differs from the current one; other texts throw
    // OptionModelError, and the empty text changes nothing.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // "1" only for the stored text "1"; "0" otherwise.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

    static QString currentValue();
};

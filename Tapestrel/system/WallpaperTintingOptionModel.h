#pragma once

#include "Tapestrel/model/OptionModel.h"

// The option "system.ui.enableWallpaperTinting": whether window backgrounds take a tint from the
// desktop picture. The system stores the opposite, the global "AppleReduceDesktopTinting". The
// registry does not hold it.
class WallpaperTintingOptionModel : public OptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.ui.enableWallpaperTinting"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Allow wallpaper tinting in windows")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // The empty text changes nothing; any other text that is not yes or no throws OptionModelError.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // "false" only when the stored key reads as true.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
};

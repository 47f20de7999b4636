#pragma once

#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/model/OptionModel.h"

// The option "apps.lumapad.showBackground": whether Lumapad's edition in use shows the background of
// notes ("enableNoteBackground").
class LumapadShowBackgroundOptionModel : public OptionModel
{
public:
    static inline const QString defaultsKey = QStringLiteral("enableNoteBackground");

    // The default value is what reading gives when Lumapad's setting cannot be read.
    LumapadShowBackgroundOptionModel(LumapadAppConfig *config, bool defaultValue);

    static QString optionKey() { return QStringLiteral("apps.lumapad.showBackground"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Lumapad"), QStringLiteral("Show Note Background")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // Writes "true" or "false" for a value that reads as a Boolean; the empty text changes nothing,
    // and any other text throws OptionModelError.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

    LumapadAppConfig *config() const { return m_config; }
    bool defaultValue() const { return m_defaultValue; }
    bool readEnableNoteBackground() const;

private:
    LumapadAppConfig *m_config;
    bool m_defaultValue;
};

#pragma once

#include "Tapestrel/apps/terminal/TerminalAppConfig.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

// What Terminal's two options share: a profile name written into one key of Terminal's domain.
// "Don't set" (the empty text) writes nothing; any other name is written as it is, whether or not
// Terminal still has such a profile. Terminal reads the keys when it starts.
class TerminalThemeOptionModel
    : public OptionModel
    , public ThemeContainer
{
public:
    TerminalAppConfig *config() const { return m_config; }
    QString defaultsKey() const { return m_defaultsKey; }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override;

protected:
    TerminalThemeOptionModel(TerminalAppConfig *config, QString defaultsKey, QString pickerTitle,
                             QString application);

private:
    TerminalAppConfig *m_config;
    QString m_defaultsKey;
    QString m_pickerTitle;
    QString m_application;
};

#pragma once

#include "Tapestrel/apps/bear/BearAppConfig.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

#include <memory>

class BearThemeStore;

// The option "apps.bear.theme": the name of a Bear theme, written into the slot of Bear's domain
// for the system's appearance at that moment ("SFAppThemeName" or "SFAppDarkThemeName"), after
// which Bear is told to reload its appearance. Any other value is written as it is; "Don't set"
// (the empty text) leaves Bear alone.
class BearThemeOptionModel
    : public OptionModel
    , public ThemeContainer
{
public:
    BearThemeOptionModel(BearAppConfig *config, QString domain);
    ~BearThemeOptionModel() override;

    static QString optionKey() { return QStringLiteral("apps.bear.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Bear"), QStringLiteral("Theme")};
    }
    static inline const QStringList notifications = {
        QStringLiteral("AppleColorPreferencesChangedNotification"),
        QStringLiteral("AppleInterfaceThemeChangedNotification")};
    // The key of the current appearance's slot.
    static QString slotKey();

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    BearAppConfig *config() const { return m_config; }
    QString domain() const { return m_domain; }
    // Made on first use and kept.
    BearThemeStore &store();

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override;

private:
    BearAppConfig *m_config;
    QString m_domain;
    std::unique_ptr<BearThemeStore> m_store;
};

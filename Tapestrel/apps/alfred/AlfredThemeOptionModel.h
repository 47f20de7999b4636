#pragma once

#include "Tapestrel/apps/alfred/AlfredAppConfig.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

#include <memory>

class AlfredThemeStore;

// The option "apps.alfred.theme": the id of one of Alfred's themes. Applying names the theme to
// Alfred in a script, which files it under the appearance showing; "Don't set" (the empty text)
// and an id that no listed theme has leave Alfred alone. Alfred's own files are only read.
class AlfredThemeOptionModel
    : public OptionModel
    , public ThemeContainer
{
public:
    explicit AlfredThemeOptionModel(AlfredAppConfig *config);
    ~AlfredThemeOptionModel() override;

    static QString optionKey() { return QStringLiteral("apps.alfred.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Alfred"), QStringLiteral("Theme")};
    }
    static inline const QString defaultLightTheme = QStringLiteral("theme.bundled.modern");
    static inline const QString defaultDarkTheme = QStringLiteral("theme.bundled.moderndark");

    // The script that names a theme to Alfred; nothing for a name that no script literal can hold.
    static std::optional<QString> setThemeScript(const QString &themeName);

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    AlfredAppConfig *config() const { return m_config; }
    // Made on first use and kept.
    AlfredThemeStore &store();

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
    QWidget *accessoryView(QWidget *parent) override;
    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override;

private:
    AlfredAppConfig *m_config;
    std::unique_ptr<AlfredThemeStore> m_store;
};

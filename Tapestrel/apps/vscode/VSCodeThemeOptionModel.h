#pragma once

#include "Tapestrel/apps/vscode/VSCodeAppConfig.h"
#include "Tapestrel/apps/vscode/VSCodeProfileSettings.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

// The option "apps.vscode.theme": the colour theme in the "settings.json" of the chosen VS Code
// profile. Any value but "<do-not-set>" and the empty text is written as it stands, without a look-up; the
// key it goes under follows VS Code's automatic colour-scheme switching and the system's appearance.
class VSCodeThemeOptionModel
    : public OptionModel
    , public ThemeContainer
{
public:
    explicit VSCodeThemeOptionModel(VSCodeAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.vscode.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Tools"), QStringLiteral("Visual Studio Code"), QStringLiteral("Theme")};
    }
    static inline const QString doNotSetValue = QStringLiteral("<do-not-set>");

    // The settings key a theme goes under: "workbench.colorTheme", or with automatic switching on,
    // the preferred dark or light theme by the appearance.
    static QString themeKey(const VSCodeProfileSettings &settings, bool isDarkMode);

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
    QWidget *accessoryView(QWidget *parent) override;
    // The theme the profile's value names among the chosen VS Code profile's themes as they are now,
    // built-in ones first; none without a chosen VS Code profile or a theme of that id.
    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override;

    VSCodeAppConfig *config() const { return m_config; }

private:
    VSCodeAppConfig *m_config;
};

#pragma once

#include "Tapestrel/apps/obsidian/ObsidianAppConfig.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

// The option "apps.obsidian.theme": the CSS theme of the chosen vault, the member "cssTheme" of its
// appearance file. "<do-not-set>" and the empty text leave the file alone; "<default>" writes the
// empty text (Obsidian's built-in theme); any other value is written as it is, whether or not the
// vault lists the theme.
class ObsidianThemeOptionModel
    : public OptionModel
    , public ThemeContainer
{
public:
    explicit ObsidianThemeOptionModel(ObsidianAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.obsidian.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Obsidian"), QStringLiteral("Theme")};
    }
    static inline const QString doNotSetValue = QStringLiteral("<do-not-set>");

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // The file's text unchanged ("<default>" for the built-in theme); none without a chosen vault,
    // its file or the member.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
    QWidget *accessoryView(QWidget *parent) override;
    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override;

    ObsidianAppConfig *config() const { return m_config; }

private:
    ObsidianAppConfig *m_config;
};

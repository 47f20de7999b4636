#pragma once

#include "Tapestrel/apps/obsidian/ObsidianAppConfig.h"
#include "Tapestrel/model/OptionModel.h"

// The option "apps.obsidian.accentColor": the accent colour of the chosen vault, the member
// "accentColor" of its appearance file. "doNotChange" and the empty text leave the file alone,
// "defaultColor" writes Obsidian's default (the empty text), and any other value is written as it is.
class ObsidianAccentColorOptionModel : public OptionModel
{
public:
    explicit ObsidianAccentColorOptionModel(ObsidianAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.obsidian.accentColor"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Obsidian"), QStringLiteral("Accent Color")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // The file's text unchanged ("defaultColor" for its empty text); none without a chosen vault,
    // its file or the member.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

    ObsidianAppConfig *config() const { return m_config; }

private:
    ObsidianAppConfig *m_config;
};

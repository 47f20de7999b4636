#pragma once

#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeStore.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

#include <memory>

// The option "apps.noteplan.theme": a theme id written into NotePlan's slot of the appearance of the
// moment ("themeLight" or "themeDark") of the edition in use, after which NotePlan is told to reload
// its appearance.
class NotePlanThemeOptionModel
    : public OptionModel
    , public ThemeContainer
{
public:
    explicit NotePlanThemeOptionModel(NotePlanAppConfig *config);
    ~NotePlanThemeOptionModel() override;

    static QString optionKey() { return QStringLiteral("apps.noteplan.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("NotePlan"), QStringLiteral("Theme")};
    }
    // What a running NotePlan listens to, in the order they are posted.
    static const QStringList &reloadNotifications();

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // Writes the value as it stands unless the slot already holds it; "Don't set" (the empty text)
    // leaves NotePlan alone. Throws DefaultsWriteError when the write fails.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
    QWidget *accessoryView(QWidget *parent) override;
    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override;

    NotePlanAppConfig *config() const { return m_config; }
    // Made on first use and kept.
    NotePlanThemeStore *store();

    // "themeDark" in the dark appearance, else "themeLight".
    static QString slotKey();

private:
    // The verb, the edition, the slot key of the moment and "-string".
    static QStringList slotArguments(const QString &verb, const QString &edition);

    NotePlanAppConfig *m_config;
    std::unique_ptr<NotePlanThemeStore> m_store;
};

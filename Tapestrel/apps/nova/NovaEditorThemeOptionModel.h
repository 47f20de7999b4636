#pragma once

#include "Tapestrel/apps/nova/NovaAppConfig.h"
#include "Tapestrel/model/OptionModel.h"

#include <memory>

class NovaThemeStore;

// The option "apps.nova.editorTheme": a theme id written into the slot of Nova's domain for the
// system's appearance at that moment ("EditorLightTheme" or "EditorDarkTheme"). "Don't set" is
// "<do-not-set>" and, like the empty text, writes nothing; without Nova installed nothing is read or
// written.
class NovaEditorThemeOptionModel : public OptionModel
{
public:
    explicit NovaEditorThemeOptionModel(NovaAppConfig *config);
    ~NovaEditorThemeOptionModel() override;

    static QString optionKey() { return QStringLiteral("apps.nova.editorTheme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Tools"), QStringLiteral("Nova"), QStringLiteral("Theme")};
    }
    static inline const QString doNotSet = QStringLiteral("<do-not-set>");
    static QString slotKey();

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    NovaAppConfig *config() const { return m_config; }
    NovaThemeStore &store();

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

private:
    NovaAppConfig *m_config;
    std::unique_ptr<NovaThemeStore> m_store;
};

#pragma once

#include "Tapestrel/apps/forklift/ForkliftAppConfig.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

#include <memory>

class ForkLiftThemeStore;

// The option "apps.forklift.theme": ForkLift's "theme" in the domain of the edition in use. Any
// other value is written as it is; "Don't set" (the empty text) leaves the user's theme alone.
// Without an installed edition nothing is read or written.
class ForkLiftThemeOptionModel
    : public OptionModel
    , public ThemeContainer
{
public:
    explicit ForkLiftThemeOptionModel(ForkliftAppConfig *config);
    ~ForkLiftThemeOptionModel() override;

    static QString optionKey() { return QStringLiteral("apps.forklift.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Apps"), QStringLiteral("Forklift"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    ForkliftAppConfig *config() const { return m_config; }
    // Made on first use and kept.
    ForkLiftThemeStore &store();

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override;

private:
    ForkliftAppConfig *m_config;
    std::unique_ptr<ForkLiftThemeStore> m_store;
};

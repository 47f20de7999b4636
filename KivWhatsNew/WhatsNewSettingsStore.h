#pragma once

#include <QString>

namespace KivWhatsNew {

// Where the module remembers for which versions the notes were shown.
class WhatsNewSettingsStore
{
public:
    virtual ~WhatsNewSettingsStore() = default;
    virtual bool didDisplay(const QString &version) = 0;
    virtual void setDidDisplay(const QString &version) = 0;
};

// One Boolean per version in the standard user defaults, under prefix + "-DidDisplay-" + version.
class UserDefaultsSettingsStore : public WhatsNewSettingsStore
{
public:
    explicit UserDefaultsSettingsStore(QString prefix = QStringLiteral("WhatsNew"));

    QString prefix() const { return m_prefix; }
    QString key(const QString &version) const { return m_prefix + QStringLiteral("-DidDisplay-") + version; }

    bool didDisplay(const QString &version) override;
    void setDidDisplay(const QString &version) override;

private:
    QString m_prefix;
};

} // namespace KivWhatsNew

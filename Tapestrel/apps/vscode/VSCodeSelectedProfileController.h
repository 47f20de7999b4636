#pragma once

#include "Tapestrel/apps/vscode/VSCodeProfile.h"

#include <QObject>
#include <QPointer>

#include <optional>

namespace Platform {
class UserDefaults;
}

// The chosen VS Code profile, whose theme the program sets. The choice is one setting of the program
// ("apps.vscode.profileID"), shared by every profile of the program. Every view and every option
// operation has a controller of its own; they keep in step through the setting's change signal.
class VSCodeSelectedProfileController : public QObject
{
    Q_OBJECT

public:
    static inline const QString profileIDKey = QStringLiteral("apps.vscode.profileID");

    // Resolves the choice at once.
    explicit VSCodeSelectedProfileController(QObject *parent = nullptr);

    const std::optional<VSCodeProfile> &profile() const { return m_profile; }
    // Chooses a profile (none clears the choice) and stores its id.
    void setProfile(const std::optional<VSCodeProfile> &profile);

    // Resolves the choice again: the stored id among the listed profiles, the default profile when
    // none is stored. A stored id that a successfully read list lacks (the VS Code profile was
    // deleted) is removed; one that is missing only because the list could not be read is kept.
    void reload();

signals:
    void profileChanged();

private:
    void publish(const std::optional<VSCodeProfile> &profile);
    void storeProfileID();
    void handleUserDefaultsChange();

    std::optional<VSCodeProfile> m_profile;
    QPointer<Platform::UserDefaults> m_defaults;
};

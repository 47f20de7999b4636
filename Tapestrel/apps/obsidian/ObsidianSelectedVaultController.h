#pragma once

#include "Tapestrel/apps/obsidian/ObsidianVault.h"

#include <QObject>
#include <QPointer>

#include <optional>

namespace Platform {
class UserDefaults;
}

// The one vault the program works on, for every profile, kept in the program's settings under
// "apps.obsidian.vaultID". Each controller resolves the choice afresh from that setting and
// Obsidian's vault list when it is made, and follows every later change of the setting, so choosing
// a vault in one place moves every live controller to it.
//
// Resolving: a stored id takes that vault, or none when Obsidian no longer lists it (and the id is
// then removed); without a stored id the first listed vault is taken and stored. A vault list that
// cannot be read at the moment (Obsidian's file missing or malformed) leaves the stored choice
// alone: only that resolution has no vault.
class ObsidianSelectedVaultController : public QObject
{
    Q_OBJECT

public:
    static inline const QString vaultIDKey = QStringLiteral("apps.obsidian.vaultID");

    explicit ObsidianSelectedVaultController(QObject *parent = nullptr);

    // The chosen vault; none while no vault is chosen.
    const std::optional<ObsidianVault> &vault() const { return m_vault; }
    // The user's choice: publishes the vault and stores its id (or removes the setting for none).
    void setVault(const std::optional<ObsidianVault> &vault);

    // Resolves the choice afresh and publishes it.
    void reload();
    // Writes the chosen vault's id, or removes the setting when none is chosen.
    void storeVaultID();

    // What a controller made now would hold, for work that needs the vault once and does not
    // follow the choice. Stores the resolution as reload() does. Safe on any thread.
    static std::optional<ObsidianVault> resolve();

signals:
    void vaultChanged();

private:
    struct Resolution
    {
        std::optional<ObsidianVault> vault;
        bool listWasRead = false;
    };
    static Resolution resolveChoice(Platform::UserDefaults &defaults);
    static void store(Platform::UserDefaults &defaults, const std::optional<ObsidianVault> &vault);

    void publish(const std::optional<ObsidianVault> &vault);
    void handleUserDefaultsChange();

    QPointer<Platform::UserDefaults> m_defaults;
    std::optional<ObsidianVault> m_vault;
};

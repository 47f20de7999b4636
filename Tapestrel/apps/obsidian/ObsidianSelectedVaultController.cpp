#include "Tapestrel/apps/obsidian/ObsidianSelectedVaultController.h"

#include "Tapestrel/apps/obsidian/ObsidianVaultStore.h"
#include "platform/UserDefaults.h"

ObsidianSelectedVaultController::ObsidianSelectedVaultController(QObject *parent)
    : QObject(parent)
    , m_defaults(&Platform::UserDefaults::standard())
{
    // Delivered on this object's thread; ends with the controller.
    connect(m_defaults, &Platform::UserDefaults::changed, this,
            &ObsidianSelectedVaultController::handleUserDefaultsChange);
    reload();
}

ObsidianSelectedVaultController::Resolution
ObsidianSelectedVaultController::resolveChoice(Platform::UserDefaults &defaults)
{
    const QString storedID = defaults.string(vaultIDKey).value_or(QString());
    const ObsidianVaultStore store;
    if (!store.isRead())
        return {};
    if (!storedID.isEmpty()) {
        const ObsidianVault *chosen = store.vault(storedID);
        return {chosen ? std::optional(*chosen) : std::nullopt, true};
    }
    if (store.vaults().isEmpty())
        return {std::nullopt, true};
    return {store.vaults().first(), true};
}

void ObsidianSelectedVaultController::store(Platform::UserDefaults &defaults,
                                            const std::optional<ObsidianVault> &vault)
{
    if (!vault) {
        if (defaults.persistentValue(vaultIDKey).isValid())
            defaults.remove(vaultIDKey);
        return;
    }
    // An unchanged id is not written again: every write wakes every controller.
    if (defaults.string(vaultIDKey) != vault->id)
        defaults.setValue(vaultIDKey, vault->id);
}

std::optional<ObsidianVault> ObsidianSelectedVaultController::resolve()
{
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    const Resolution resolution = resolveChoice(defaults);
    if (resolution.listWasRead)
        store(defaults, resolution.vault);
    return resolution.vault;
}

void ObsidianSelectedVaultController::setVault(const std::optional<ObsidianVault> &vault)
{
    publish(vault);
    storeVaultID();
}

void ObsidianSelectedVaultController::reload()
{
    if (!m_defaults)
        return;
    const Resolution resolution = resolveChoice(*m_defaults);
    publish(resolution.vault);
    if (resolution.listWasRead)
        storeVaultID();
}

void ObsidianSelectedVaultController::storeVaultID()
{
    if (m_defaults)
        store(*m_defaults, m_vault);
}

void ObsidianSelectedVaultController::publish(const std::optional<ObsidianVault> &vault)
{
    if (m_vault == vault)
        return;
    m_vault = vault;
    emit vaultChanged();
}

void ObsidianSelectedVaultController::handleUserDefaultsChange()
{
    if (!m_defaults)
        return;
    const std::optional<QString> stored = m_defaults->string(vaultIDKey);
    const std::optional<QString> current = m_vault ? std::optional(m_vault->id) : std::nullopt;
    if (stored != current)
        reload();
}

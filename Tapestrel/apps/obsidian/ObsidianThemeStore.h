#pragma once

#include "Tapestrel/apps/frame/ThemeStore.h"
#include "Tapestrel/apps/obsidian/ObsidianTheme.h"
#include "Tapestrel/apps/obsidian/ObsidianVault.h"

#include <memory>
#include <optional>

// The themes of one vault: Obsidian's built-in one and the entries of the vault's themes folder;
// none of the latter without a vault.
class ObsidianThemeStore : public ThemeStore<ObsidianTheme>
{
public:
    explicit ObsidianThemeStore(const std::optional<ObsidianVault> &vault);

    const std::optional<ObsidianVault> &vault() const { return *m_vault; }
    // Lists another vault's themes (or none for no vault).
    void setVault(const std::optional<ObsidianVault> &vault);
    // The themes of the store's vault, read now.
    QList<ObsidianTheme> loadCustomThemes() const;

private:
    ObsidianThemeStore(std::shared_ptr<std::optional<ObsidianVault>> vault);

    // Shared with the collector, which the base class runs while it is being made.
    std::shared_ptr<std::optional<ObsidianVault>> m_vault;
};

#include "Tapestrel/apps/obsidian/ObsidianVaultStore.h"

#include "Tapestrel/apps/frame/AppFiles.h"
#include "Tapestrel/apps/obsidian/ObsidianAppConfig.h"

ObsidianVaultStore::ObsidianVaultStore()
{
    const auto path = ObsidianAppConfig::configFilePath(QStringLiteral("obsidian.json"));
    const std::optional<QByteArray> bytes = path ? AppFiles::read(*path) : std::nullopt;
    if (!bytes)
        return;
    if (auto vaults = ObsidianConfigFile::decode(*bytes)) {
        m_vaults = std::move(*vaults);
        m_isRead = true;
    }
}

const ObsidianVault *ObsidianVaultStore::vault(const QString &id) const
{
    for (const ObsidianVault &candidate : m_vaults) {
        if (candidate.id == id)
            return &candidate;
    }
    return nullptr;
}

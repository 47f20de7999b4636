#include "Tapestrel/apps/obsidian/ObsidianVaultStore.h"

#include "Tapestrel/apps/obsidian/ObsidianAppConfig.h"

#include <QFile>
#include <QFileInfo>

ObsidianVaultStore::ObsidianVaultStore()
{
    const auto path = ObsidianAppConfig::configFilePath(QStringLiteral("obsidian.json"));
    if (!path || !QFileInfo(*path).isFile() || QFileInfo(*path).size() > ObsidianConfigFile::maximumSize)
        return;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.read(ObsidianConfigFile::maximumSize + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > ObsidianConfigFile::maximumSize)
        return;
    if (auto vaults = ObsidianConfigFile::decode(bytes)) {
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

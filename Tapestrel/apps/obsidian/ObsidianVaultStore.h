#pragma once

#include "Tapestrel/apps/obsidian/ObsidianVault.h"

#include <QList>

// The vaults that Obsidian lists, read once from its configuration file when the store is made.
class ObsidianVaultStore
{
public:
    ObsidianVaultStore();

    const QList<ObsidianVault> &vaults() const { return m_vaults; }
    // Whether Obsidian's list could be read. A missing, unreadable or malformed file lists no vaults
    // and is not read; a list that was read may still be empty.
    bool isRead() const { return m_isRead; }

    const ObsidianVault *vault(const QString &id) const;

private:
    QList<ObsidianVault> m_vaults;
    bool m_isRead = false;
};

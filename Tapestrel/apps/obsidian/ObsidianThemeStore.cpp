#include "Tapestrel/apps/obsidian/ObsidianThemeStore.h"

ObsidianThemeStore::ObsidianThemeStore(const std::optional<ObsidianVault> &vault, QObject *parent)
    : QObject(parent)
    , m_defaultThemes(ObsidianThemes::builtInThemes())
    , m_vault(vault)
{
    m_customThemes = loadCustomThemes();
}

void ObsidianThemeStore::setVault(const std::optional<ObsidianVault> &vault)
{
    m_vault = vault;
    m_customThemes = loadCustomThemes();
    emit changed();
}

QList<ObsidianTheme> ObsidianThemeStore::loadCustomThemes() const
{
    if (!m_vault)
        return {};
    const std::optional<QString> folder = m_vault->filePath(QStringLiteral(".obsidian/themes"));
    return folder ? ObsidianThemes::themesInFolder(*folder) : QList<ObsidianTheme>();
}

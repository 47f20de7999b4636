#include "Tapestrel/apps/obsidian/ObsidianThemeStore.h"

namespace {

QList<ObsidianTheme> themesOf(const std::optional<ObsidianVault> &vault)
{
    if (!vault)
        return {};
    const std::optional<QString> folder = vault->filePath(QStringLiteral(".obsidian/themes"));
    return folder ? ObsidianThemes::themesInFolder(*folder) : QList<ObsidianTheme>();
}

} // namespace

ObsidianThemeStore::ObsidianThemeStore(const std::optional<ObsidianVault> &vault)
    : ObsidianThemeStore(std::make_shared<std::optional<ObsidianVault>>(vault))
{ }

ObsidianThemeStore::ObsidianThemeStore(std::shared_ptr<std::optional<ObsidianVault>> vault)
    : ThemeStore(ObsidianThemes::builtInThemes(), [vault] { return themesOf(*vault); })
    , m_vault(std::move(vault))
{ }

void ObsidianThemeStore::setVault(const std::optional<ObsidianVault> &vault)
{
    *m_vault = vault;
    reloadCustomThemes();
}

QList<ObsidianTheme> ObsidianThemeStore::loadCustomThemes() const
{
    return themesOf(*m_vault);
}

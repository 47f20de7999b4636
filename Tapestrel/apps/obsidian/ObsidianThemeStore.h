#pragma once

#include "Tapestrel/apps/obsidian/ObsidianTheme.h"
#include "Tapestrel/apps/obsidian/ObsidianVault.h"

#include <QObject>

#include <optional>

// The themes a vault offers: Obsidian's built-in one and the entries of the vault's themes folder.
class ObsidianThemeStore : public QObject
{
    Q_OBJECT

public:
    explicit ObsidianThemeStore(const std::optional<ObsidianVault> &vault, QObject *parent = nullptr);

    const QList<ObsidianTheme> &defaultThemes() const { return m_defaultThemes; }
    const QList<ObsidianTheme> &customThemes() const { return m_customThemes; }
    const std::optional<ObsidianVault> &vault() const { return m_vault; }

    // Lists another vault's themes (or none for no vault).
    void setVault(const std::optional<ObsidianVault> &vault);
    // The themes of the store's vault, read now.
    QList<ObsidianTheme> loadCustomThemes() const;

signals:
    void changed();

private:
    QList<ObsidianTheme> m_defaultThemes;
    QList<ObsidianTheme> m_customThemes;
    std::optional<ObsidianVault> m_vault;
};

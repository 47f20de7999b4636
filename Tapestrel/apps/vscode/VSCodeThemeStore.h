#pragma once

#include "Tapestrel/apps/frame/ThemeStore.h"
#include "Tapestrel/apps/vscode/VSCodeProfile.h"
#include "Tapestrel/apps/vscode/VSCodeTheme.h"

#include <memory>
#include <optional>

// The themes that can be chosen for a VS Code profile: the ones VS Code ships, sorted by name, and
// those contributed by the profile's enabled extensions, in the order of its extension list and,
// within one extension, of its manifest (neither sorted nor cleared of duplicates). The custom
// themes are collected again when the store is given another profile, not when a picker shows.
class VSCodeThemeStore : public ThemeStore<VSCodeTheme>
{
public:
    explicit VSCodeThemeStore(std::optional<VSCodeProfile> profile, QObject *parent = nullptr);

    // VS Code's own themes in the program's order, before sorting.
    static const QList<VSCodeTheme> &builtInTable();

    const std::optional<VSCodeProfile> &profile() const { return *m_profile; }
    // Lists another profile's custom themes.
    void setProfile(std::optional<VSCodeProfile> profile);

    // The themes of a profile's enabled extensions; none without a profile.
    static QList<VSCodeTheme> loadCustomThemes(const std::optional<VSCodeProfile> &profile);

private:
    VSCodeThemeStore(std::shared_ptr<std::optional<VSCodeProfile>> profile, QObject *parent);

    // Shared with the collector, which the base class calls before this class's members exist.
    std::shared_ptr<std::optional<VSCodeProfile>> m_profile;
};

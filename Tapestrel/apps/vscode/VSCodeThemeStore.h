#pragma once

#include "Tapestrel/apps/vscode/VSCodeProfile.h"
#include "Tapestrel/apps/vscode/VSCodeTheme.h"

#include <QList>
#include <QObject>

#include <optional>

// The themes that can be chosen for a VS Code profile: the ones VS Code ships, sorted by name, and
// those contributed by the profile's enabled extensions, in the order of its extension list and,
// within one extension, of its manifest (neither sorted nor cleared of duplicates).
class VSCodeThemeStore : public QObject
{
    Q_OBJECT

public:
    explicit VSCodeThemeStore(std::optional<VSCodeProfile> profile, QObject *parent = nullptr);

    // VS Code's own themes in the program's order, before sorting.
    static const QList<VSCodeTheme> &builtInTable();

    const QList<VSCodeTheme> &defaultThemes() const { return m_defaultThemes; }
    const QList<VSCodeTheme> &customThemes() const { return m_customThemes; }
    void setCustomThemes(QList<VSCodeTheme> themes);

    const std::optional<VSCodeProfile> &profile() const { return m_profile; }
    void setProfile(std::optional<VSCodeProfile> profile) { m_profile = std::move(profile); }

    // The themes of the current profile's enabled extensions; none without a profile.
    QList<VSCodeTheme> loadCustomThemes() const;

signals:
    void themesChanged();

private:
    QList<VSCodeTheme> m_defaultThemes;
    QList<VSCodeTheme> m_customThemes;
    std::optional<VSCodeProfile> m_profile;
};

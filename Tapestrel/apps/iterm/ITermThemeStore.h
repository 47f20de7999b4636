#pragma once

#include "Tapestrel/apps/frame/ThemeStore.h"
#include "Tapestrel/apps/iterm/ITermTheme.h"

#include <QList>
#include <QString>

#include <optional>

// The colour presets of iTerm2: the nine that the program carries as resources, in their table order,
// and the user's "Custom Color Presets" from iTerm2's preferences, sorted by name.
class ITermThemeStore : public ThemeStore<ITermTheme>
{
public:
    struct BuiltInPreset
    {
        QString name;
        QString resource; // the file's name without ".itermcolors"
    };
    static const QList<BuiltInPreset> &builtInPresets();

    static inline const QString domain = QStringLiteral("com.googlecode.iterm2");
    static inline const QString customPresetsKey = QStringLiteral("Custom Color Presets");
    static inline const QString resourceFolder = QStringLiteral(":/iterm");

    ITermThemeStore();
    // Built-in presets from another folder (tests).
    explicit ITermThemeStore(const QString &presetFolder);

    // The first preset with exactly this name, built-in presets first.
    std::optional<ITermTheme> theme(const QString &name) const;
    // The first preset, built-in ones in table order and then custom ones by name, whose entries the
    // terminal profile holds for the appearance.
    std::optional<ITermTheme> theme(const QVariantMap &profile, bool isDark) const;

    // The presets of the folder that load: a file that is missing, too large, not a property list or
    // not a dictionary is left out.
    static QList<ITermTheme> loadBuiltInThemes(const QString &presetFolder);
    // iTerm2's custom presets as they are stored now, sorted by name; entries that are no
    // dictionary are left out.
    static QList<ITermTheme> readCustomThemes();
};

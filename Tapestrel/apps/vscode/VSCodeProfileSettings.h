#pragma once

#include <QString>

#include <optional>

// The four settings of a VS Code profile that its colour theme depends on, read from the top level
// of its "settings.json". A key that is absent or holds a value of another type reads as none.
struct VSCodeProfileSettings
{
    static inline const QString darkThemeKey = QStringLiteral("workbench.preferredDarkColorTheme");
    static inline const QString lightThemeKey = QStringLiteral("workbench.preferredLightColorTheme");
    static inline const QString colorThemeKey = QStringLiteral("workbench.colorTheme");
    static inline const QString autoDetectColorSchemeKey = QStringLiteral("window.autoDetectColorScheme");

    std::optional<QString> darkTheme;
    std::optional<QString> lightTheme;
    std::optional<QString> colorTheme;
    std::optional<bool> autoDetectColorScheme;

    friend bool operator==(const VSCodeProfileSettings &, const VSCodeProfileSettings &) = default;
};

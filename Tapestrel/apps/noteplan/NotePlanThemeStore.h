#pragma once

#include "Tapestrel/apps/frame/ThemeStore.h"
#include "Tapestrel/apps/noteplan/NotePlanTheme.h"

#include <QString>

#include <optional>

class NotePlanAppConfig;

// NotePlan's themes: its 21 built-in themes sorted by name, and the custom theme files of its Themes
// folder in the order the folder lists them.
class NotePlanThemeStore : public ThemeStore<NotePlanTheme>
{
public:
    static inline const QString cloudKitKey = QStringLiteral("isUsingCloudKit");

    // Loads both lists at once, the custom themes of the config's edition in use.
    explicit NotePlanThemeStore(const NotePlanAppConfig *config);

    // The built-in table in the order NotePlan's own list has it.
    static const QList<NotePlanTheme> &builtInThemes();

    // The custom themes of the edition in use as they are on disk now. A file that cannot be read or
    // is no JSON object with a text "name" is left out; the others still count.
    static QList<NotePlanTheme> loadCustomThemes(const NotePlanAppConfig *config);

    // The Themes folder of an edition: in the cloud drive's NotePlan folder when NotePlan uses it,
    // else in the edition's container; nothing when neither exists.
    static std::optional<QString> themesFolder(const QString &bundleID);
};

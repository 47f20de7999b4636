#pragma once

#include "Tapestrel/apps/frame/ThemeStore.h"

#include <QHash>
#include <QString>
#include <QUrl>

// A font-and-colour theme file of Xcode. Its file name is what a profile stores and what Xcode is
// told; the name shown is the file name without its extension.
struct XcodeTheme
{
    QUrl url;

    QString id() const { return url.fileName(); }
    QString displayName() const;

    friend bool operator==(const XcodeTheme &, const XcodeTheme &) = default;
};

inline size_t qHash(const XcodeTheme &theme, size_t seed = 0)
{
    return qHash(theme.url, seed);
}

// Xcode's themes: the theme files inside the installed Xcode (Xcode, else Xcode-beta; never both)
// and the user's theme files, each sorted by name. The files are listed, never opened.
class XcodeThemeStore : public ThemeStore<XcodeTheme>
{
public:
    static const QStringList builtInFolders;
    static const QString userFolder;

    XcodeThemeStore();

    const QList<XcodeTheme> &themes() const { return defaultThemes(); }
    const QList<XcodeTheme> &userThemes() const { return customThemes(); }

    static QList<XcodeTheme> loadBuiltInThemes();
    static QList<XcodeTheme> loadUserThemes();
};

#include "Tapestrel/apps/xcode/XcodeThemeStore.h"

#include "Tapestrel/apps/frame/ThemeSort.h"

#include "platform/Home.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The theme files directly in the folder, in the order listed; none when it cannot be listed. A
// file with nothing before its extension (".xccolortheme") would be a row without a name.
QList<XcodeTheme> themesIn(const QString &folder)
{
    const QDir dir(folder);
    QList<XcodeTheme> themes;
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        if (QFileInfo(name).suffix() != u"xccolortheme")
            continue;
        const XcodeTheme theme {QUrl::fromLocalFile(dir.filePath(name))};
        if (!theme.displayName().trimmed().isEmpty())
            themes.append(theme);
    }
    return ThemeSort::sortedByName(themes, [](const XcodeTheme &theme) { return theme.displayName(); });
}

} // namespace

QString XcodeTheme::displayName() const
{
    return QFileInfo(url.fileName()).completeBaseName();
}

const QStringList XcodeThemeStore::builtInFolders = {
    QStringLiteral(
        "/Applications/Xcode.app/Contents/SharedFrameworks/DVTUserInterfaceKit.framework/Versions/A/"
        "Resources/FontAndColorThemes"),
    QStringLiteral("/Applications/Xcode-beta.app/Contents/SharedFrameworks/DVTUserInterfaceKit.framework/"
                   "Versions/A/Resources/FontAndColorThemes"),
};

const QString XcodeThemeStore::userFolder =
    QStringLiteral("Library/Developer/Xcode/UserData/FontAndColorThemes");

XcodeThemeStore::XcodeThemeStore()
    : ThemeStore<XcodeTheme>(loadBuiltInThemes(), &XcodeThemeStore::loadUserThemes)
{ }

QList<XcodeTheme> XcodeThemeStore::loadBuiltInThemes()
{
    for (const QString &folder : builtInFolders) {
        const QString path = Platform::Home::resolve(folder);
        if (QFileInfo::exists(path))
            return themesIn(path);
    }
    return {};
}

QList<XcodeTheme> XcodeThemeStore::loadUserThemes()
{
    return themesIn(Platform::Home::path(userFolder));
}

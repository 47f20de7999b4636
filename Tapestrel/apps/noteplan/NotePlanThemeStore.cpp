#include "Tapestrel/apps/noteplan/NotePlanThemeStore.h"

#include "Tapestrel/apps/frame/AppDefaults.h"
#include "Tapestrel/apps/frame/AppFiles.h"
#include "Tapestrel/apps/frame/ThemeSort.h"
#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeFile.h"

#include "platform/Home.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString setappEdition = QStringLiteral("co.noteplan.NotePlan-setapp");

QString containerThemes(const QString &bundleID, const QString &folderOwner)
{
    return Platform::Home::path(QStringLiteral("Library/Containers/") + bundleID
                                + QStringLiteral("/Data/Library/Application Support/") + folderOwner
                                + QStringLiteral("/Themes"));
}

} // namespace

const QList<NotePlanTheme> &NotePlanThemeStore::builtInThemes()
{
    static const QList<NotePlanTheme> themes {
        {QStringLiteral("default"), QStringLiteral("Orange")},
        {QStringLiteral("toothbleach"), QStringLiteral("Toothbleach")},
        {QStringLiteral("toothbleach-condensed"), QStringLiteral("Toothbleach Condensed")},
        {QStringLiteral("solarized-light"), QStringLiteral("Solarized Light")},
        {QStringLiteral("breakers"), QStringLiteral("Breakers")},
        {QStringLiteral("contrast"), QStringLiteral("Contrast")},
        {QStringLiteral("green"), QStringLiteral("Green")},
        {QStringLiteral("Monospace-Light"), QStringLiteral("Monospace-Light")},
        {QStringLiteral("dracula"), QStringLiteral("Dracula")},
        {QStringLiteral("dracula-pro"), QStringLiteral("Dracula Pro")},
        {QStringLiteral("ayumirage"), QStringLiteral("Ayu Mirage")},
        {QStringLiteral("apple-dark"), QStringLiteral("Apple Dark")},
        {QStringLiteral("black-night"), QStringLiteral("Black Night")},
        {QStringLiteral("black-morning"), QStringLiteral("Black Morning")},
        {QStringLiteral("solarized-dark"), QStringLiteral("Solarized Dark")},
        {QStringLiteral("spacegray"), QStringLiteral("Spacegray")},
        {QStringLiteral("monokai"), QStringLiteral("Monokai")},
        {QStringLiteral("charcoal"), QStringLiteral("Charcoal")},
        {QStringLiteral("toothpaste"), QStringLiteral("Toothpaste")},
        {QStringLiteral("toothpaste-condensed"), QStringLiteral("Toothpaste Condensed")},
        {QStringLiteral("materialdark"), QStringLiteral("Material")},
    };
    return themes;
}

NotePlanThemeStore::NotePlanThemeStore(const NotePlanAppConfig *config)
    : ThemeStore(
        ThemeSort::sortedByName(builtInThemes(), [](const NotePlanTheme &theme) { return theme.name; }),
        [config] { return loadCustomThemes(config); })
{ }

std::optional<QString> NotePlanThemeStore::themesFolder(const QString &bundleID)
{
    if (AppDefaults::readBool(bundleID, cloudKitKey).value_or(false))
        return Platform::Home::path(
            QStringLiteral("Library/Mobile Documents/iCloud~co~noteplan~NotePlan/Documents/Themes"));
    // NotePlan names its folder after the Setapp edition in either edition's container; the regular
    // edition's own name is looked for when that folder is not there.
    const QString folder = containerThemes(bundleID, setappEdition);
    if (QFileInfo(folder).isDir())
        return folder;
    const QString own = containerThemes(bundleID, bundleID);
    if (bundleID != setappEdition && QFileInfo(own).isDir())
        return own;
    return std::nullopt;
}

QList<NotePlanTheme> NotePlanThemeStore::loadCustomThemes(const NotePlanAppConfig *config)
{
    QList<NotePlanTheme> themes;
    const std::optional<QString> edition = config ? config->currentBundleID() : std::nullopt;
    if (!edition)
        return themes;
    const std::optional<QString> folder = themesFolder(*edition);
    if (!folder)
        return themes;
    const QDir directory(*folder);
    const QStringList names = directory.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &name : names) {
        const std::optional<QByteArray> bytes = AppFiles::read(directory.filePath(name));
        if (!bytes)
            continue;
        // A theme without a name would be a row without text.
        if (const auto file = NotePlanThemeFile::decode(*bytes); file && !file->name.trimmed().isEmpty())
            themes.append({name, file->name});
    }
    return themes;
}

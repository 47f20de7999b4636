#pragma once

#include "Tapestrel/apps/frame/ThemeSort.h"
#include "Tapestrel/apps/frame/ThemeStore.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The theme files of one folder, for applications whose themes are files named "<name>.<extension>"
// (the built-in ones in the application's Resources folder, the user's in a themes folder). Only the
// folders are listed; the files themselves are never opened.
namespace ThemeFileFolder {

struct Entry
{
    QString name; // the file name without its extension
    QString fileName; // the file name with its extension
    QString filePath; // the full path
};

// The folder's direct entries (hidden ones too, nothing below sub-folders) whose extension is exactly
// the given one, letter case included, sorted by name as theme lists are. An entry without a name
// before its extension is left out. A folder that is missing or cannot be listed has none.
QList<Entry> entries(const QString &folder, const QString &extension);

// The path when a file or folder exists there.
std::optional<QString> existing(const std::optional<QString> &path);
// "Contents/Resources" of the installed application with this bundle identifier, when it exists.
std::optional<QString> applicationResources(const QString &bundleID);

} // namespace ThemeFileFolder

// The themes of an application whose themes are files: `appThemes` from the installed edition's
// bundle and `userThemes` from the edition's user themes folder. The config gives the edition in use
// and its two folders (`appResourcesURL`, `userThemesURL`); the record (with `name` and `path`) is made
// from a folder entry. Both lists are empty until reload(), which reads both folders again.
template<typename Theme, typename Config> class ThemeFileStore : public ThemeStoreSignals
{
public:
    using Record = Theme;
    using MakeTheme = Theme (*)(const ThemeFileFolder::Entry &);

    ThemeFileStore(const Config *config, QString extension, MakeTheme makeTheme)
        : m_config(config)
        , m_extension(std::move(extension))
        , m_makeTheme(makeTheme)
    { }

    const QList<Theme> &appThemes() const { return m_appThemes; }
    const QList<Theme> &userThemes() const { return m_userThemes; }

    // The edition is looked up afresh, so another edition chosen or installed since is seen at once.
    void reload()
    {
        const std::optional<QString> edition = m_config->currentBundleID();
        const auto resources = edition ? m_config->appResourcesURL(*edition) : std::nullopt;
        QList<Theme> appThemes = resources ? loadThemes(*resources) : QList<Theme>();
        const auto user = edition ? m_config->userThemesURL(*edition) : std::nullopt;
        QList<Theme> userThemes = user ? loadThemes(*user) : QList<Theme>();
        if (appThemes == m_appThemes && userThemes == m_userThemes)
            return;
        m_appThemes = std::move(appThemes);
        m_userThemes = std::move(userThemes);
        emit changed();
    }

    QList<Theme> loadThemes(const QString &folder) const
    {
        QList<Theme> themes;
        for (const ThemeFileFolder::Entry &entry : ThemeFileFolder::entries(folder, m_extension))
            themes.append(m_makeTheme(entry));
        return themes;
    }

    // The first theme, the application's ones first, for which `matches` holds, with whether it is
    // one of the application's.
    template<typename Matches> std::optional<std::pair<Theme, bool>> find(Matches matches) const
    {
        for (const Theme &theme : m_appThemes) {
            if (matches(theme))
                return std::pair<Theme, bool>(theme, true);
        }
        for (const Theme &theme : m_userThemes) {
            if (matches(theme))
                return std::pair<Theme, bool>(theme, false);
        }
        return std::nullopt;
    }

private:
    const Config *m_config;
    QString m_extension;
    MakeTheme m_makeTheme;
    QList<Theme> m_appThemes;
    QList<Theme> m_userThemes;
};

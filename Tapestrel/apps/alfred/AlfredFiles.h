#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Where Alfred keeps its synchronised preferences, from its pointer file "prefs.json".
struct AlfredPrefs
{
    QString current; // the folder of the synchronised preferences
    QString localhash; // this computer's folder inside it

    // The pointer file read afresh; nothing when it cannot be read or lacks either text.
    static std::optional<AlfredPrefs> load();
    // The pointer file's contents: a JSON object with the texts "current" and "localhash".
    static std::optional<AlfredPrefs> decode(const QByteArray &bytes);
    // The appearance settings of this computer, which name the themes in use.
    QString appearanceFile() const;
    QString themesFolder() const;
};

// A theme folder's "theme.json": the text "name" of its object "alfredtheme"; nothing otherwise.
std::optional<QString> alfredThemeName(const QByteArray &themeFile);

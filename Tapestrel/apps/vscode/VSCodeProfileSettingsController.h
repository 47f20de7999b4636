#pragma once

#include "Tapestrel/apps/vscode/VSCodeProfile.h"
#include "Tapestrel/apps/vscode/VSCodeProfileSettings.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QJsonObject;

// One VS Code profile's "settings.json", read as VS Code reads it (comments and trailing commas
// allowed). Saving changes only the bytes of the settings that were changed and leaves every other
// byte of the file as it was; the file is replaced atomically.
class VSCodeProfileSettingsController
{
public:
    // The controller of the profile's settings file. None when the file does not exist (then
    // `error` is left empty) or cannot be read as an object (then `error` says why, naming the file).
    static std::optional<VSCodeProfileSettingsController> open(const VSCodeProfile &profile,
                                                               QString *error = nullptr);
    // The same for a file by path.
    static std::optional<VSCodeProfileSettingsController> openFile(const QString &path,
                                                                   QString *error = nullptr);

    // The values as read; the caller changes them before saving.
    VSCodeProfileSettings settings;

    QString path() const { return m_path; }

    // Writes the settings that differ from what was read into the file as it is now: a changed
    // value replaces the key's value, a key that was absent is added. A setting changed to none is
    // left in the file. Nothing is written when nothing changed. Returns the error message, naming
    // the file, when the file cannot be read as an object any more or cannot be written.
    std::optional<QString> save() const;

    // The four settings of a parsed top-level object.
    static VSCodeProfileSettings settingsOf(const QJsonObject &object);

    // Replaces the file's contents through a temporary file in the same folder; a symbolic link is
    // followed to its target, and the file's permissions stay. The error message, or none.
    static std::optional<QString> writeAtomically(const QString &path, const QByteArray &bytes);

private:
    VSCodeProfileSettingsController() = default;

    QString m_path;
    VSCodeProfileSettings m_read;
};

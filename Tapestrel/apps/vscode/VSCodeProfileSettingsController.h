#pragma once

#include "Tapestrel/apps/vscode/VSCodeProfile.h"
#include "Tapestrel/apps/vscode/VSCodeProfileSettings.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QJsonObject;

// One VS Code profile's "settings.json", read as VS Code reads it (comments and trailing commas
// allowed). Saving changes only the bytes of the settings that were changed and leaves every other
// byte of the file as it was; the file is replaced atomically, and only while it is still the file the
// change was made on: a save of VS Code's that comes in between is read and the change made again on
// it (see Platform::AtomicFile::edit).
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

    // Changes the settings of the file at `path` as it is when it is written: `change` is given the
    // settings read from the file and changes them, and what it changed is written as save() writes
    // it. When the file changes before it is replaced, it is read again and `change` called again.
    // A missing file is created holding only what `change` set. The error message names the file.
    using Change = std::function<void(VSCodeProfileSettings &settings)>;
    static std::optional<QString> edit(const QString &path, const Change &change);

    // The four settings of a parsed top-level object.
    static VSCodeProfileSettings settingsOf(const QJsonObject &object);

private:
    VSCodeProfileSettingsController() = default;

    QString m_path;
    VSCodeProfileSettings m_read;
};

#pragma once

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

class ModelContainer;

// A profile store that start-up cannot open: random bytes, a truncated file, a store written by a
// newer version, a folder in its place. Nothing of it is ever deleted: the person may quit, or have
// it moved aside (kept beside the store as "data.sqlite.unreadable-<date>") and start with an
// empty store, into which a backup can be restored.
class UnreadableStore
{
public:
    UnreadableStore() = delete;

    // Set in the environment of a program started by the command line: nobody may be there to
    // answer an alert, so the reason goes to standard error and the program ends.
    static constexpr const char *startedByCommandLineVariable = "TAPESTREL_STARTED_BY_COMMAND_LINE";

    // Why the store at `path` cannot be opened; nothing when it opens (a missing store opens as a
    // new, empty one).
    static std::optional<QString> problem(const QString &path);

    // Start-up: true when the store at `path` opens, at once or after the person had it moved
    // aside; false when the program must end. Asks with an alert when `interactive`, otherwise
    // writes the reason to standard error.
    static bool ensureReadable(const QString &path, bool interactive,
                               const QDateTime &now = QDateTime::currentDateTime());
    // The store that ensureReadable() opened at `path`, handed over once, so that start-up opens
    // it only once; null when there is none.
    static std::unique_ptr<ModelContainer> takeOpened(const QString &path);

    // Moves the store (with its "-wal" and "-shm" files) to "<name>.unreadable-<date>" beside it,
    // never over another file. The new path of the store, or nothing when it could not be moved.
    static std::optional<QString> moveAside(const QString &path, const QDateTime &now);
};

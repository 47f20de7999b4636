#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Platform {

// What writers that were killed half way leave beside the files they write (see AtomicFile), and how it
// is seen to.
//
// A writer's files bear the name of the file they belong to: ".<file name>.tapestrel-<8 letters or
// digits>" followed by ".tmp" for its temporary file, or by "-<digest>-<digest>.swap" while an exchange
// is under way. A file name too long for that within the file system's 255 bytes is cut, and the cut name
// ends in "~" and a digest of the whole name, so that a leftover still tells exactly which file it
// belongs to, never one of the names made beside that file, which start with the same cut name.
// (Earlier versions cut such names without a digest; their leftovers are found by the start of the name,
// where only one file fits it or only one holds the writer's new file.)
//
// A leftover counts only when no writer holds its lock, it is a regular file, and it belongs to this
// program's user or to the owner of the file it was written for: a program run as root on a user's
// files leaves files of that user behind. Leftovers of anyone else are not touched. A temporary file is
// removed (unless it is a writer's brand-new empty one, not yet locked); a swap file's exchange is
// finished: what bears the swap name goes back in place when the file still holds that writer's new
// file, which then comes out and is removed; otherwise what bears the swap name is removed when it is the
// writer's new file or the version its edit was made from, and kept beside the file when it is not.
class InterruptedExchanges
{
public:
    // The start of the names of a new writer's files beside `file` (an absolute path, links followed).
    static QString stemFor(const QString &file);
    static QString temporaryName(const QString &stem);
    // `expected` and `written` are the digests of the version an edit was made from and of its new file.
    static QString swapName(const QString &stem, const QByteArray &expected, const QByteArray &written);
    // Whether a file name has the form of a writer's files (either kind).
    static bool isLeftoverName(const QString &fileName);
    // A file name as the names of its writers' files bear it: within a length that leaves room for the
    // rest of those names.
    static QString shortName(const QString &fileName);
    // A name made beside `file` (its lock file, a damaged copy): "<file><ending>", or, for a name too long
    // for that within the file system's 255 bytes, its short name with the ending. Every ending of up to
    // 16 bytes gets the same choice, so that the copies of one file share one start.
    static QString besideName(const QString &file, const QString &ending);
    // Where the n-th (from 1) save of another program kept beside `file` goes: "<file>.kept", then
    // ".kept-2" and on (beside it as above).
    static QString keptName(const QString &file, int n);

    // Sees to what killed writers left in `folder`. Where saves of `file` (an absolute path, links
    // followed; empty for none) were kept beside it; those of other files are only logged.
    static QStringList seeTo(const QString &folder, const QString &file);
    // Sees to what killed writers left of `file` alone (an absolute path, links followed); where saves
    // of it were kept.
    static QStringList seeToFile(const QString &file);

private:
    static QStringList seeTo(const QString &folder, const QString &file, bool onlyFile);
    // The digest that a swap name bears of the regular file at `path`; empty when it cannot be read.
    static QByteArray versionOfPath(const QString &path);
};

} // namespace Platform

#pragma once

#include <QCoreApplication>
#include <QString>

namespace KivDesktopBackground {

// The sentences that tell a person what became of a picture, each naming it as they know it
// (PictureOrigin), and the reasons in them that the decoding process gives (inline: the process has
// them without the rest of this module).
class PictureNames
{
public:
    // "The picture “…” cannot be found."
    static QString notFoundMessage(const QString &path);
    // "The picture “<name>” cannot be shown: <reason>."
    static QString cannotBeShown(const QString &path, const QString &reason);

    // A file no decoder takes for a picture.
    static QString notAPictureReason() { return reason("it is not a picture the program can read"); }
    // Pixels that are missing or do not decode, a file cut short among them.
    static QString damagedReason() { return reason("its data is damaged or incomplete"); }
    // A whole picture of a kind the decoders of its format cannot decode: `format` names the format
    // ("BMP", "TGA").
    static QString unreadableKindReason(const QString &format)
    {
        return reason("it is a kind of %1 picture the program cannot read").arg(format);
    }
    // A picture whose decoding takes, or would take, more than the `bytes` a decode may.
    static QString memoryReason(qint64 bytes)
    {
        const QString amount = bytes % (qint64(1) << 30) == 0
            ? reason("%1 GiB").arg(bytes >> 30)
            : reason("%1 MiB").arg((bytes + (1 << 20) - 1) >> 20);
        return reason("decoding it needs more than %1 of memory").arg(amount);
    }

private:
    static QString reason(const char *text) { return QCoreApplication::translate("PictureDecoder", text); }
};

} // namespace KivDesktopBackground

#include "Tapestrel/background/ImageContentType.h"

#include <QFileInfo>
#include <QtEndian>

namespace {

bool startsWith(const QByteArray &head, qsizetype offset, QByteArrayView magic)
{
    return head.size() >= offset + magic.size() && QByteArrayView(head).sliced(offset, magic.size()) == magic;
}

// The HEIF family opens with an "ftyp" box: its size, "ftyp", the major brand, a minor version and
// the compatible brands. Images coded with HEVC are HEIC; the generic image brands are HEIF unless
// an HEVC brand is among the compatible ones.
QStringList heifExtensions(const QByteArray &head)
{
    if (!startsWith(head, 4, "ftyp") || head.size() < 12)
        return {};
    static const QList<QByteArrayView> hevc = {"heic", "heix", "heim", "heis",
                                               "hevc", "hevx", "hevm", "hevs"};
    static const QList<QByteArrayView> generic = {"mif1", "msf1"};
    const QByteArrayView major = QByteArrayView(head).sliced(8, 4);
    if (hevc.contains(major))
        return {QStringLiteral("heic"), QStringLiteral("heif")};
    if (!generic.contains(major))
        return {};
    const qsizetype boxSize = qFromBigEndian<quint32>(head.constData());
    const qsizetype end = std::min(head.size(), boxSize);
    for (qsizetype brand = 16; brand + 4 <= end; brand += 4) {
        if (hevc.contains(QByteArrayView(head).sliced(brand, 4)))
            return {QStringLiteral("heic"), QStringLiteral("heif")};
    }
    return {QStringLiteral("heif"), QStringLiteral("heic")};
}

} // namespace

QStringList ImageContentType::extensionsFor(const QByteArray &head)
{
    if (startsWith(head, 0, "\x89PNG\r\n\x1a\n"))
        return {QStringLiteral("png")};
    if (startsWith(head, 0, "\xff\xd8\xff"))
        return {QStringLiteral("jpeg"), QStringLiteral("jpg"), QStringLiteral("jpe")};
    if (startsWith(head, 0, "GIF87a") || startsWith(head, 0, "GIF89a"))
        return {QStringLiteral("gif")};
    if (startsWith(head, 0, "RIFF") && startsWith(head, 8, "WEBP"))
        return {QStringLiteral("webp")};
    if (startsWith(head, 0, QByteArrayView("II*\0", 4)) || startsWith(head, 0, QByteArrayView("MM\0*", 4)))
        return {QStringLiteral("tiff"), QStringLiteral("tif")};
    // "BM" alone begins too many other files; the size of the header that follows the file header
    // is one of the few that the format's versions use.
    if (startsWith(head, 0, "BM") && head.size() >= 18) {
        static const QList<quint32> headerSizes = {12, 40, 52, 56, 64, 108, 124};
        if (headerSizes.contains(qFromLittleEndian<quint32>(head.constData() + 14)))
            return {QStringLiteral("bmp")};
    }
    return heifExtensions(head);
}

QString ImageContentType::extensionFor(const QString &fileName, const QByteArray &head)
{
    const QString own = QFileInfo(fileName).suffix();
    const QStringList known = extensionsFor(head);
    if (known.isEmpty())
        return own.isEmpty() ? QStringLiteral("jpg") : own;
    return known.contains(own.toLower()) ? own : known.first();
}

#include "PictureReader.h"

#include "KivDesktopBackground/PictureProtocol.h"

#include <QCoreApplication>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtEndian>
#include <QtNumeric>

#include <zlib.h>

#include <cmath>

namespace Protocol = KivDesktopBackground::PictureProtocol;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PictureReader", text);
}

QString notAPicture()
{
    return tr("it is not a picture the program can read");
}

QString tooLargeReason(qint64 width, qint64 height)
{
    return tr("it is too large to be shown (%1 × %2 pixels)").arg(width).arg(height);
}

// Why a picture of `source` pixels cannot cover `target` with its aspect ratio kept: the size that would
// take has more pixels than any picture may (a picture of 1 × 2,000,000 on a screen).
QString cannotCoverReason(const QSize &source, const QSize &target)
{
    return tr("its shape (%1 × %2 pixels) cannot fill a screen of %3 × %4 pixels without being drawn "
              "larger than any picture may be")
        .arg(source.width())
        .arg(source.height())
        .arg(target.width())
        .arg(target.height());
}

// Why the reader's picture is too large to draw; nothing when it is not. The size comes from the
// header; a reader that cannot tell it decodes within the process's limits.
std::optional<QString> tooLarge(QImageReader &reader)
{
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > Protocol::maxPixels)
        return tooLargeReason(size.width(), size.height());
    return std::nullopt;
}

// An uncompressed BMP decodes as far as its file goes and leaves the rest of the picture as it was
// allocated (black): a header that promises more than the file holds is refused up front. What the
// header says is multiplied with checks: its sizes may promise more than 64 bits can count.
std::optional<QString> incompleteBitmap(QIODevice *file)
{
    const QByteArray header = file->peek(34);
    if (header.size() < 34 || !header.startsWith("BM"))
        return std::nullopt;
    const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
    const quint32 dataOffset = qFromLittleEndian<quint32>(bytes + 10);
    if (qFromLittleEndian<quint32>(bytes + 14) < 40) // an OS/2 header: sizes of 16 bits, left to Qt
        return std::nullopt;
    const qint64 width = qFromLittleEndian<qint32>(bytes + 18);
    const qint64 height = std::abs(qint64(qFromLittleEndian<qint32>(bytes + 22)));
    const quint16 bitsPerPixel = qFromLittleEndian<quint16>(bytes + 28);
    const quint32 compression = qFromLittleEndian<quint32>(bytes + 30);
    // Plain rows, or rows of plain masks (3, 6); run-length data says nothing of its length.
    if ((compression != 0 && compression != 3 && compression != 6) || width <= 0 || bitsPerPixel == 0
        || bitsPerPixel > 32)
        return std::nullopt;
    const qint64 rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    qint64 rows = 0;
    qint64 promised = 0;
    if (qMulOverflow(rowBytes, height, &rows) || qAddOverflow(rows, qint64(dataOffset), &promised))
        return tooLargeReason(width, height);
    if (promised <= file->size())
        return std::nullopt;
    return tr("it is incomplete: its header promises %1 bytes, the file holds %2")
        .arg(promised)
        .arg(file->size());
}

// The text of a gzip stream, at most `limit` bytes; nothing when it is not one or says more (then
// `tooLarge`).
std::optional<QByteArray> inflated(const QByteArray &compressed, qint64 limit, bool *tooLarge)
{
    z_stream stream {};
    // 16 + the largest window: gzip framing only.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return std::nullopt;
    QByteArray text;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    const qsizetype piece = 1 << 20;
    int result = Z_OK;
    // Z_OK while there is more; an end of the input before the stream's ends it with Z_BUF_ERROR.
    while (result == Z_OK && text.size() <= limit) {
        const qsizetype done = text.size();
        text.resize(done + piece);
        stream.next_out = reinterpret_cast<Bytef *>(text.data() + done);
        stream.avail_out = uInt(piece);
        result = inflate(&stream, Z_NO_FLUSH);
        text.resize(done + piece - qsizetype(stream.avail_out));
    }
    inflateEnd(&stream);
    *tooLarge = text.size() > limit;
    if (result != Z_STREAM_END || *tooLarge)
        return std::nullopt;
    return text;
}

bool isSvg(const QByteArray &format)
{
    return format == "svg" || format == "svgz";
}

// An SVG held in an SVG held in an SVG… is left out past this depth.
constexpr int maxSvgDepth = 8;
// No drawing nests its elements this deep; the renderer draws each level within the one around it.
constexpr int maxElementDepth = 1000;

QString largerThanAllowedReason()
{
    return tr("its text is larger than %1 MiB").arg(Protocol::maxBytes >> 20);
}

QString nestedTooDeepReason()
{
    return tr("its elements are nested deeper than %1 levels").arg(maxElementDepth);
}

// The file's bytes, at most `limit`; nothing when it holds more. The memory grows with what is read,
// never to the limit at once.
std::optional<QByteArray> readAtMost(QIODevice *file, qint64 limit)
{
    QByteArray bytes;
    while (bytes.size() <= limit) {
        const qint64 left = limit + 1 - bytes.size();
        const QByteArray piece =
            file->read(std::min(std::max(file->size() - bytes.size(), qint64(1) << 16), left));
        if (piece.isEmpty())
            break;
        bytes += piece;
    }
    if (bytes.size() > limit)
        return std::nullopt;
    return bytes;
}

// An SVG that passes (see filteredSvg()), or why it does not.
struct FilteredSvg
{
    std::optional<QByteArray> document;
    QString failure;
};

FilteredSvg filteredSvg(const QByteArray &bytes, int depth);

// Whether an attribute names another resource: "href" under any prefix.
bool isReference(QStringView qualifiedName)
{
    return qualifiedName == u"href" || qualifiedName.endsWith(u":href");
}

// Whether a reference names a part of the same document: "#" and an id (a path after "#" is opened as
// a file).
bool namesPartOfDocument(QStringView value)
{
    if (value.size() < 2 || value[0] != u'#' || value[1].isDigit() || value[1] == u'-' || value[1] == u'.')
        return false;
    return std::all_of(value.begin() + 1, value.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.' || c == u':';
    });
}

// The reference of an `<image>` when it holds its picture as data, as the renderer reads it ("data",
// then whatever follows the last "base64,"): an SVG picture in it passes the same filter and comes back
// as data of its own, any other picture stays as it was. Nothing when it names anything else (the
// renderer opens every other reference as a file, "#" too) or holds an SVG that does not pass.
std::optional<QString> heldPicture(const QString &value, int depth)
{
    const QString trimmed = value.trimmed();
    const qsizetype start = trimmed.lastIndexOf(QLatin1String("base64,"));
    if (!trimmed.startsWith(QLatin1String("data")) || start < 0)
        return std::nullopt;
    QByteArray picture = QByteArray::fromBase64(trimmed.mid(start + 7).toLatin1());
    // The renderer takes the format from the contents, whatever type the address says.
    QBuffer buffer(&picture);
    buffer.open(QIODevice::ReadOnly);
    if (!isSvg(QImageReader::imageFormat(&buffer)))
        return value;
    const std::optional<QByteArray> kept = filteredSvg(picture, depth + 1).document;
    if (!kept)
        return std::nullopt;
    return QStringLiteral("data:image/svg+xml;base64,") + QString::fromLatin1(kept->toBase64());
}

// The SVG document as the renderer reads it (its reader decodes the encoding it declares), written anew
// in UTF-8, without every element that names a file or any other resource outside it (Qt's renderer
// reads the picture of an `<image>` from whatever path or URL it names, the style sheet of an
// `xml-stylesheet` instruction from its file), links without their addresses, and without its
// document type: the reading has put its entities in place, so that what they hold is judged here like
// the rest, and the renderer gets none to expand. Nothing when it does not parse (an encoding the reader
// cannot decode among it, elements nested deeper than maxElementDepth). The renderer never gets the
// original bytes: what a filter of those bytes passes is not what the renderer reads.
FilteredSvg withoutOutsideReferences(const QByteArray &svg, int depth)
{
    QXmlStreamReader reader(svg);
    int elementDepth = 0;
    // Names are copied as written: Qt's renderer knows "xlink:href" by that very name.
    reader.setNamespaceProcessing(false);
    QByteArray out;
    QXmlStreamWriter writer(&out);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            writer.writeStartDocument();
            break;
        case QXmlStreamReader::EndDocument:
            writer.writeEndDocument();
            break;
        case QXmlStreamReader::StartElement: {
            const QStringView name = reader.qualifiedName();
            const QStringView element = name.mid(name.lastIndexOf(u':') + 1);
            QXmlStreamAttributes kept;
            bool namesOutside = false;
            for (const QXmlStreamAttribute &attribute : reader.attributes()) {
                if (!isReference(attribute.qualifiedName())) {
                    kept.append(attribute);
                } else if (element == u"image") {
                    const std::optional<QString> held = heldPicture(attribute.value().toString(), depth);
                    namesOutside = namesOutside || !held;
                    if (held)
                        kept.append(attribute.qualifiedName().toString(), *held);
                } else if (namesPartOfDocument(attribute.value())) {
                    kept.append(attribute);
                } else {
                    // A link's content is the document's own.
                    namesOutside = namesOutside || element != u"a";
                }
            }
            if (namesOutside) {
                reader.skipCurrentElement();
                break;
            }
            if (++elementDepth > maxElementDepth)
                return {std::nullopt, nestedTooDeepReason()};
            writer.writeStartElement(name.toString());
            for (const QXmlStreamAttribute &attribute : std::as_const(kept))
                writer.writeAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            break;
        }
        case QXmlStreamReader::EndElement:
            --elementDepth;
            writer.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            if (reader.isCDATA())
                writer.writeCDATA(reader.text().toString());
            else
                writer.writeCharacters(reader.text().toString());
            break;
        default: // the document type, comments, processing instructions, unresolved entities
            break;
        }
    }
    if (reader.hasError())
        return {std::nullopt, notAPicture()};
    return {out, {}};
}

// An SVG document, gzip-compressed or not, as it is decoded; nothing when it does not pass.
FilteredSvg filteredSvg(const QByteArray &bytes, int depth)
{
    if (depth > maxSvgDepth)
        return {std::nullopt, notAPicture()};
    std::optional<QByteArray> plain = bytes;
    bool tooLarge = false;
    if (bytes.startsWith("\x1f\x8b"))
        plain = inflated(bytes, Protocol::maxBytes, &tooLarge);
    if (!plain)
        return {std::nullopt, tooLarge ? largerThanAllowedReason() : notAPicture()};
    return withoutOutsideReferences(*plain, depth);
}

} // namespace

QString PictureReader::damagedReason()
{
    return tr("its data is damaged or incomplete");
}

PictureReader::PictureReader(QIODevice *file)
{
    // The reader takes the format from the contents: the file it reads carries no name.
    const QByteArray format = QImageReader::imageFormat(file);
    if (isSvg(format)) {
        const std::optional<QByteArray> text = readAtMost(file, Protocol::maxBytes);
        const FilteredSvg kept =
            text ? filteredSvg(*text, 0) : FilteredSvg {std::nullopt, largerThanAllowedReason()};
        if (!kept.document) {
            m_failure = kept.failure;
            return;
        }
        m_svg.setData(*kept.document);
        m_svg.open(QIODevice::ReadOnly);
        m_reader.setDevice(&m_svg);
        m_reader.setFormat("svg");
    } else {
        m_reader.setDevice(file);
    }
    if (!m_reader.canRead())
        m_failure = notAPicture();
    else if (m_reader.format() == "bmp")
        m_failure = incompleteBitmap(file);
    if (!m_failure)
        m_failure = tooLarge(m_reader);
    if (m_failure)
        m_reader.setDevice(nullptr);
}

QImage PictureReader::read(const Memory &memory)
{
    if (m_failure)
        return {};
    // A decoder fills the image it is given when it has the size and the format of what it decodes.
    QImage image;
    const QSize size = m_reader.scaledSize().isValid() ? m_reader.scaledSize() : m_reader.size();
    const QImage::Format format = m_reader.imageFormat();
    if (memory && !size.isEmpty() && qint64(size.width()) * size.height() <= Protocol::maxPixels
        && (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied)) {
        const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
        if (uchar *bits = memory(bytesPerLine * size.height()))
            image = QImage(bits, size.width(), size.height(), bytesPerLine, format);
    }
    return m_reader.read(&image) ? image : QImage();
}

PictureReader::Result PictureReader::covering(const QSize &target, const Memory &memory)
{
    if (m_failure)
        return {{}, m_failure};
    m_reader.setAutoTransform(true);
    const QSize source = m_reader.size();
    const bool rotated = m_reader.transformation() & QImageIOHandler::TransformationRotate90;
    // Letting the decoder scale (JPEG does it while decoding; SVG draws at any size) saves most of the
    // work and memory of a large photo; rotated images are scaled afterwards, as the reader scales
    // before rotating.
    if (source.isValid() && !source.isEmpty() && !rotated
        && m_reader.supportsOption(QImageIOHandler::ScaledSize)) {
        const std::optional<QSize> wanted = Protocol::coveringSize(source, target);
        if (!wanted)
            return {{}, cannotCoverReason(source, target)};
        if (wanted->width() < source.width() || m_reader.format() == "svg")
            m_reader.setScaledSize(*wanted);
    }
    QImage decoded = read(memory);
    if (decoded.isNull() || decoded.width() <= 0 || decoded.height() <= 0)
        return {{}, damagedReason()};
    const std::optional<QSize> wanted = Protocol::coveringSize(decoded.size(), target);
    if (!wanted)
        return {{}, cannotCoverReason(decoded.size(), target)};
    if (wanted->width() < decoded.width())
        decoded = decoded.scaled(*wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return {decoded.convertToFormat(decoded.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32),
            std::nullopt};
}

PictureReader::Result PictureReader::fitting(int longerSide, const Memory &memory)
{
    if (m_failure)
        return {{}, m_failure};
    m_reader.setAutoTransform(true);
    // Decoding at about the target size lets formats that can skip most of the work; the orientation
    // is applied afterwards, and scaling both sides alike keeps the longer side the longer side.
    const QSize stored = m_reader.size();
    if (stored.isValid() && std::max(stored.width(), stored.height()) > longerSide) {
        const double factor = double(longerSide) / std::max(stored.width(), stored.height());
        const QSize target(std::max(1, int(std::lround(stored.width() * factor))),
                           std::max(1, int(std::lround(stored.height() * factor))));
        if (m_reader.format() == "jpeg") {
            // A JPEG decodes at 1/2, 1/4 or 1/8 of its size almost for free. Ask for exactly such a
            // size (never below the target) and scale smoothly below; the reader's fast mode then only
            // drops what that scaling would smooth away anyway, and it never has to resize on its own.
            int denominator = 1;
            while (denominator < 8 && stored.width() / (denominator * 2) >= target.width()
                   && stored.height() / (denominator * 2) >= target.height())
                denominator *= 2;
            m_reader.setQuality(49);
            m_reader.setScaledSize(QSize(stored.width() / denominator, stored.height() / denominator));
        } else {
            m_reader.setScaledSize(target);
        }
    }
    QImage image = read(memory);
    if (image.isNull())
        return {{}, damagedReason()};
    // What is still larger (a JPEG decoded at a power-of-two fraction, a reader that cannot tell its
    // size up front) is scaled smoothly here.
    if (std::max(image.width(), image.height()) > longerSide) {
        image = image.width() >= image.height() ? image.scaledToWidth(longerSide, Qt::SmoothTransformation)
                                                : image.scaledToHeight(longerSide, Qt::SmoothTransformation);
    }
    return {image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32),
            std::nullopt};
}

#include "KivDesktopBackground/ImageFile.h"

#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <set>

namespace KivDesktopBackground {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ImageFile", text);
}

QString notAPicture()
{
    return tr("it is not a picture the program can read");
}

// Why the reader's picture is too large to draw; nothing when it is not. The size comes from the
// header; a reader that cannot tell it decodes within its own limits.
std::optional<QString> tooLarge(QImageReader &reader)
{
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > ImageFile::maxPixels)
        return tr("it is too large to be shown (%1 × %2 pixels)").arg(size.width()).arg(size.height());
    return std::nullopt;
}

// An uncompressed BMP decodes as far as its file goes and leaves the rest of the picture as it was
// allocated (black): a header that promises more rows than the file holds is refused up front.
std::optional<QString> incompleteBitmap(QFile &file)
{
    const QByteArray header = file.peek(34);
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
    const qint64 promised = qint64(dataOffset) + rowBytes * height;
    if (promised <= file.size())
        return std::nullopt;
    return tr("it is incomplete: its header promises %1 bytes, the file holds %2")
        .arg(promised)
        .arg(file.size());
}

// The text of a gzip stream, at most `limit` bytes; nothing when it is not one or says more.
std::optional<QByteArray> inflated(const QByteArray &compressed, qint64 limit)
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
    if (result != Z_STREAM_END || text.size() > limit)
        return std::nullopt;
    return text;
}

// What an attribute that names another resource may name without a file being read: a part of the
// same document, or a picture held in the attribute itself.
bool namesOnlyItself(QStringView value)
{
    return value.startsWith(u'#') || value.startsWith(QLatin1String("data:"));
}

// The SVG document without every element that names a file or any other resource outside it (Qt's
// renderer reads the picture of an `<image>` from whatever path or URL it names) and without its
// document type, whose entities the reading has already put in place; nothing when it does not parse.
std::optional<QByteArray> withoutOutsideReferences(const QByteArray &svg)
{
    QXmlStreamReader reader(svg);
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
            const QXmlStreamAttributes attributes = reader.attributes();
            const bool namesOutside =
                std::any_of(attributes.cbegin(), attributes.cend(), [](const QXmlStreamAttribute &a) {
                    const QStringView name = a.qualifiedName();
                    return (name == u"href" || name.endsWith(u":href")) && !namesOnlyItself(a.value());
                });
            if (namesOutside) {
                reader.skipCurrentElement();
                break;
            }
            writer.writeStartElement(reader.qualifiedName().toString());
            for (const QXmlStreamAttribute &attribute : attributes)
                writer.writeAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            break;
        }
        case QXmlStreamReader::EndElement:
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
        return std::nullopt;
    return out;
}

// Qt's allocation limit for decoded pictures (128 MiB unless set) is one for the whole process. A read
// that needs more raises it while it runs, never past what `maxPixels` pictures take; the limit goes
// back once no such read is left. Other reads that run meanwhile (icons, say) get the same limit.
class RaisedAllocationLimit
{
public:
    explicit RaisedAllocationLimit(const QSize &size)
    {
        if (!size.isValid() || size.isEmpty())
            return;
        // Eight bytes a pixel covers the widest format a decoder gives (16 bits a channel).
        const qint64 pixels = std::min(qint64(size.width()) * size.height(), ImageFile::maxPixels);
        m_megabytes = int((pixels * 8 + (1 << 20) - 1) >> 20);
        std::lock_guard lock(mutex());
        if (requests().empty())
            saved() = QImageReader::allocationLimit();
        requests().insert(m_megabytes);
        apply();
    }
    ~RaisedAllocationLimit()
    {
        if (!m_megabytes)
            return;
        std::lock_guard lock(mutex());
        requests().erase(requests().find(m_megabytes));
        apply();
    }
    RaisedAllocationLimit(const RaisedAllocationLimit &) = delete;
    RaisedAllocationLimit &operator=(const RaisedAllocationLimit &) = delete;

private:
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::multiset<int> &requests()
    {
        static std::multiset<int> r;
        return r;
    }
    static int &saved()
    {
        static int s = 0;
        return s;
    }
    // No limit (0) stays none.
    static void apply()
    {
        const int limit =
            requests().empty() || saved() == 0 ? saved() : std::max(saved(), *requests().rbegin());
        if (QImageReader::allocationLimit() != limit)
            QImageReader::setAllocationLimit(limit);
    }

    int m_megabytes = 0;
};

QString cannotBeShown(const QString &path, const QString &reason)
{
    return tr("The picture “%1” cannot be shown: %2.").arg(path, reason);
}

} // namespace

ImageFile::ImageFile(const QString &path)
{
    // The reader takes the format from the file's contents: the file is read through the descriptor
    // that was checked, which carries no name.
    m_failure = Platform::RegularFile::open(m_file, path, maxBytes);
    if (m_failure)
        return;
    const QByteArray format = QImageReader::imageFormat(&m_file);
    if (format == "svg" || format == "svgz") {
        QByteArray text = m_file.readAll();
        m_file.close();
        if (text.startsWith("\x1f\x8b")) {
            std::optional<QByteArray> plain = inflated(text, maxBytes);
            if (!plain) {
                m_failure = notAPicture();
                return;
            }
            text = std::move(*plain);
        }
        const std::optional<QByteArray> kept = withoutOutsideReferences(text);
        if (!kept) {
            m_failure = notAPicture();
            return;
        }
        m_svg.setData(*kept);
        m_svg.open(QIODevice::ReadOnly);
        m_reader.setDevice(&m_svg);
        m_reader.setFormat("svg");
    } else {
        m_reader.setDevice(&m_file);
    }
    if (!m_reader.canRead())
        m_failure = notAPicture();
    else if (m_reader.format() == "bmp")
        m_failure = incompleteBitmap(m_file);
    if (!m_failure)
        m_failure = tooLarge(m_reader);
    if (m_failure) {
        m_reader.setDevice(nullptr);
        m_file.close();
        m_svg.close();
    }
}

QImage ImageFile::read()
{
    if (m_failure)
        return {};
    const RaisedAllocationLimit limit(m_reader.size());
    return m_reader.read();
}

QSize ImageFile::coveringSize(const QSize &source, const QList<QSize> &targets)
{
    double scale = 0;
    for (const QSize &target : targets)
        scale = std::max(
            {scale, double(target.width()) / source.width(), double(target.height()) / source.height()});
    QSize size(int(std::ceil(source.width() * scale - 1e-6)), int(std::ceil(source.height() * scale - 1e-6)));
    // Rounding may leave it a pixel short of a target.
    for (const QSize &target : targets)
        size = size.expandedTo(target);
    return size;
}

QString ImageFile::notFoundMessage(const QString &path)
{
    return tr("The picture “%1” cannot be found.").arg(path);
}

ImageFile::Decoded ImageFile::decodeCovering(const QUrl &url, const QList<QSize> &sizes)
{
    if (!url.isLocalFile())
        return {{}, tr("The picture “%1” is not a file.").arg(url.toString())};
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {{}, notFoundMessage(path)};
    ImageFile file(path);
    if (file.failure())
        return {{}, cannotBeShown(path, *file.failure())};

    QList<QSize> targets;
    for (const QSize &size : sizes) {
        if (!size.isEmpty())
            targets.append(size);
    }
    if (targets.isEmpty())
        targets.append(QSize(1920, 1080));
    QImageReader &reader = file.reader();
    reader.setAutoTransform(true);
    const QSize source = reader.size();
    const bool rotated = reader.transformation() & QImageIOHandler::TransformationRotate90;
    // Letting the decoder scale (JPEG does it while decoding; SVG draws at any size) saves most of the
    // work and memory of a large photo; rotated images are scaled afterwards, as the reader scales
    // before rotating.
    if (source.isValid() && !source.isEmpty() && !rotated
        && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        const QSize wanted = coveringSize(source, targets);
        if (wanted.width() < source.width() || reader.format() == "svg")
            reader.setScaledSize(wanted);
    }
    QImage decoded = file.read();
    if (decoded.isNull() || decoded.width() <= 0 || decoded.height() <= 0)
        return {{}, cannotBeShown(path, tr("its data is damaged or incomplete"))};
    const QSize wanted = coveringSize(decoded.size(), targets);
    if (wanted.width() < decoded.width())
        decoded = decoded.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return {decoded.convertToFormat(decoded.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32),
            std::nullopt};
}

} // namespace KivDesktopBackground

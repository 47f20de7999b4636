#pragma once

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

// One picture, read from an open file the way the decoding process reads it. Only what passes these
// checks reaches a format's decoder:
// - a picture that says it has more than PictureProtocol::maxPixels pixels is not decoded;
// - a picture cut short is refused in every format, also where its decoder would show what it has as if
//   whole: an uncompressed BMP whose header promises more than the file holds, a GIF whose first picture
//   has fewer pixels in its data than its size takes (one that has them all is shown, however its file
//   ends after them), an XBM short of bytes, a TGA short of pixels;
// - a whole picture of a kind its format has but its decoder cannot decode (BMPs of two bits a pixel,
//   of bit fields with alpha, of 24-bit run lengths; TGAs other than uncompressed true colour of 24 or
//   32 bits in the format's second version) is named as such, not as damaged. A TGA is known by its
//   header (the format has no mark at its start), never taken for another format's picture;
// - an SVG is decoded from what it holds alone: every element that names a file or another resource
//   outside the document is left out, also inside an SVG that it holds as data (SVGs held that way
//   eight deep at most), so that a picture can neither wait on a pipe it names nor show a file its
//   author could not otherwise show. A link keeps its content and loses only its address. The SVG is
//   judged as its reader reads it (in the encoding it declares, its entities in place), and the
//   renderer gets that document written anew in UTF-8, never the original bytes; a document in an
//   encoding the reader cannot decode is refused, as is one whose elements are nested deeper than 1000
//   levels or whose text (unpacked) is larger than PictureProtocol::maxBytes, each naming its bound, and
//   one cut short as damaged. Only what the file holds is read into memory, and an SVGZ's text is
//   unpacked a piece at a time as it is read. One whose parts would take the renderer more memory than
//   the process may is refused for it before the renderer starts on it, and where its bytes tell so
//   (elements written plainly in UTF-8), before it is read as XML and written anew.
class PictureReader
{
public:
    // Reads `file` (positioned at its start), which must outlive the reader, for a decode that may take
    // `memoryBytes` (0: as much as it needs).
    explicit PictureReader(QIODevice *file, qint64 memoryBytes = 0);
    PictureReader(const PictureReader &) = delete;
    PictureReader &operator=(const PictureReader &) = delete;

    // The format whose decoder decodes the picture ("jpeg"; "svg" for SVGZ too); empty when it is
    // refused before any decoder.
    QByteArray format() const { return m_failure ? QByteArray() : m_reader.format(); }

    struct Result
    {
        QImage image;
        std::optional<QString> failure; // why there is no image ("its data is damaged or incomplete")
        // The picture needs more memory than the decode may take (the failure says so): known before it
        // is decoded.
        bool needsMoreMemory = false;
    };
    // Memory for a picture of so many bytes to be decoded into, or null. A format's decoder that can
    // decode straight into it, at the size and in the format the picture is handed over in, does so.
    using Memory = std::function<uchar *(qsizetype bytes)>;

    // As large as the picture needs to be to cover `target` (pixels) with its aspect ratio kept, never
    // larger than the picture (an SVG is drawn at that size), ready to draw: opaque pictures as RGB32,
    // others premultiplied.
    Result covering(const QSize &target, const Memory &memory = {});
    // At most `longerSide` pixels on the longer side, with the picture's orientation applied, in the
    // same formats; formats that can skip work when decoding smaller (JPEG) do.
    Result fitting(int longerSide, const Memory &memory = {});

    // "its data is damaged or incomplete"
    static QString damagedReason();

private:
    QImage read(const Memory &memory);
    // Why a picture that passed every look did not decode.
    QString failedReason() const;

    std::optional<QString> m_failure;
    bool m_needsMoreMemory = false;
    // The format whose kind of picture this one is, where its decoder cannot decode that kind.
    std::optional<QString> m_unreadableKind;
    QBuffer m_svg; // what an SVG picture holds, without what it names
    QImageReader m_reader;
};

#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <list>
#include <optional>

// The process-wide cache of image thumbnails that the previews draw. A thumbnail is decoded at the
// pixel size it is shown at (width × the screen's scale), never larger than the image, with the
// image's orientation applied; its device pixel ratio is that scale, so its size in points is the
// width asked for. Entries are kept by URL and width, least recently used first out, within a count
// and a total cost (decoded bytes at 4 bytes a pixel). Nothing is written to disk; failures are not
// cached here, so the next request asks again (the decoder answers a file it refused at once until the
// file changes). Every member is safe to call from any thread.
class ImageCache
{
public:
    static constexpr int defaultCountLimit = 500;
    static constexpr qint64 defaultTotalCostLimit = 256ll * 1024 * 1024;

    explicit ImageCache(int countLimit = defaultCountLimit, qint64 totalCostLimit = defaultTotalCostLimit);
    ImageCache(const ImageCache &) = delete;
    ImageCache &operator=(const ImageCache &) = delete;

    static ImageCache &shared();

    // The thumbnail of a local image file at a width in points: from the cache, or decoded while one of
    // the previews decoder's own threads waits (the caller resumes on its own thread) and then cached.
    // Nothing for a URL that is not a local file, a width that gives no pixels, or a file that cannot be
    // decoded (what is no regular file, or is larger than an image file may be, is not even opened). The
    // screen's scale is read on the calling thread: call it from the GUI thread, or pass the scale.
    QCoro::Task<std::optional<QImage>> thumbnail(QUrl url, double width);
    QCoro::Task<std::optional<QImage>> thumbnail(QUrl url, double width, double scale);
    // The same, decoding on the calling thread.
    std::optional<QImage> thumbnailNow(const QUrl &url, double width, double scale);

    // "<absolute URL>_<width>", the width written as a double always is ("120.0", "120.5").
    static QString key(const QUrl &url, double width);
    // The scale of the primary screen, 2.0 without one. GUI thread only.
    static double screenScale();
    // Decodes a thumbnail whose longer side is at most `maxPixels`, in the program's decoding process
    // (PictureDecoder); nothing when the file cannot be read as an image.
    static std::optional<QImage> decodeThumbnail(const QString &filePath, qint64 maxPixels);
    // Decoded bytes of an image, 4 a pixel.
    static qint64 cost(const QImage &image);

    std::optional<QImage> object(const QString &key);
    // Stores an image, dropping the least recently used entries until both limits hold again. An
    // image that alone exceeds the cost limit is not kept.
    void setObject(const QString &key, const QImage &image);
    void removeAllObjects();

    int count() const;
    qint64 totalCost() const;
    int countLimit() const { return m_countLimit; }
    qint64 totalCostLimit() const { return m_totalCostLimit; }

private:
    struct Entry
    {
        QString key;
        QImage image;
        qint64 cost;
    };
    void evictLocked();

    const int m_countLimit;
    const qint64 m_totalCostLimit;
    mutable QMutex m_mutex;
    std::list<Entry> m_entries; // most recently used first
    QHash<QString, std::list<Entry>::iterator> m_index;
    qint64 m_totalCost = 0;
};

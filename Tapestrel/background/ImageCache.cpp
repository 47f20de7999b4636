#include "Tapestrel/background/ImageCache.h"

#include "KivDesktopBackground/PictureDecoder.h"

#include <QGuiApplication>
#include <QLocale>
#include <QMutexLocker>
#include <QScreen>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

#include <cmath>
#include <limits>

namespace {

// Pixels of the longer side for a width in points; nothing when the width is not a usable number.
std::optional<qint64> maxPixelsFor(double width, double scale)
{
    const double pixels = width * scale;
    if (!std::isfinite(pixels) || pixels < 1 || pixels > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return qint64(pixels);
}

} // namespace

ImageCache::ImageCache(int countLimit, qint64 totalCostLimit)
    : m_countLimit(countLimit)
    , m_totalCostLimit(totalCostLimit)
{ }

ImageCache &ImageCache::shared()
{
    static ImageCache instance;
    return instance;
}

QString ImageCache::key(const QUrl &url, double width)
{
    // The shortest text that reads back as the same double; plain digits with a fraction always
    // shown ("120.0") in the usual range, the exponent form outside it ("1e+16").
    const double magnitude = std::fabs(width);
    QString number;
    if (!std::isfinite(width) || magnitude >= 1e16 || (magnitude != 0 && magnitude < 1e-4)) {
        number = QString::number(width, 'g', QLocale::FloatingPointShortest);
    } else {
        number = QString::number(width, 'f', QLocale::FloatingPointShortest);
        if (!number.contains(QLatin1Char('.')))
            number += QStringLiteral(".0");
    }
    return QString::fromUtf8(url.toEncoded()) + QLatin1Char('_') + number;
}

double ImageCache::screenScale()
{
    if (qGuiApp && QThread::currentThread() == qGuiApp->thread()) {
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            return screen->devicePixelRatio();
    }
    return 2.0;
}

std::optional<QImage> ImageCache::decodeThumbnail(const QString &filePath, qint64 maxPixels)
{
    if (maxPixels < 1 || maxPixels > std::numeric_limits<int>::max())
        return std::nullopt;
    KivDesktopBackground::PictureDecoder::Decoded decoded =
        KivDesktopBackground::PictureDecoder::previews().fitting(filePath, int(maxPixels));
    if (decoded.failure)
        return std::nullopt;
    return std::move(decoded.image);
}

qint64 ImageCache::cost(const QImage &image)
{
    return qint64(image.width()) * qint64(image.height()) * 4;
}

std::optional<QImage> ImageCache::thumbnailNow(const QUrl &url, double width, double scale)
{
    if (!url.isLocalFile())
        return std::nullopt;
    const std::optional<qint64> maxPixels = maxPixelsFor(width, scale);
    if (!maxPixels)
        return std::nullopt;
    const QString cacheKey = key(url, width);
    if (std::optional<QImage> cached = object(cacheKey))
        return cached;
    std::optional<QImage> image = decodeThumbnail(url.toLocalFile(), *maxPixels);
    if (!image)
        return std::nullopt;
    image->setDevicePixelRatio(scale);
    setObject(cacheKey, *image);
    return image;
}

QCoro::Task<std::optional<QImage>> ImageCache::thumbnail(QUrl url, double width)
{
    return thumbnail(std::move(url), width, screenScale());
}

QCoro::Task<std::optional<QImage>> ImageCache::thumbnail(QUrl url, double width, double scale)
{
    if (!url.isLocalFile() || !maxPixelsFor(width, scale))
        co_return std::nullopt;
    // A hit needs no trip to another thread.
    if (std::optional<QImage> cached = object(key(url, width)))
        co_return cached;
    // Waited for on the previews' own threads: the toolkit's shared pool scales pictures while the
    // window paints, and must never be taken up by decodes that wait on their processes.
    co_return co_await QtConcurrent::run(&KivDesktopBackground::PictureDecoder::previews().pool(),
                                         &ImageCache::thumbnailNow, this, url, width, scale);
}

std::optional<QImage> ImageCache::object(const QString &key)
{
    QMutexLocker locker(&m_mutex);
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return std::nullopt;
    m_entries.splice(m_entries.begin(), m_entries, *found);
    return m_entries.front().image;
}

void ImageCache::setObject(const QString &key, const QImage &image)
{
    const qint64 entryCost = cost(image);
    QMutexLocker locker(&m_mutex);
    if (const auto found = m_index.constFind(key); found != m_index.constEnd()) {
        m_totalCost -= (*found)->cost;
        m_entries.erase(*found);
        m_index.erase(found);
    }
    if (entryCost > m_totalCostLimit || m_countLimit < 1)
        return;
    m_entries.push_front(Entry {key, image, entryCost});
    m_index.insert(key, m_entries.begin());
    m_totalCost += entryCost;
    evictLocked();
}

void ImageCache::evictLocked()
{
    while (!m_entries.empty() && (int(m_entries.size()) > m_countLimit || m_totalCost > m_totalCostLimit)) {
        const Entry &last = m_entries.back();
        m_totalCost -= last.cost;
        m_index.remove(last.key);
        m_entries.pop_back();
    }
}

void ImageCache::removeAllObjects()
{
    QMutexLocker locker(&m_mutex);
    m_index.clear();
    m_entries.clear();
    m_totalCost = 0;
}

int ImageCache::count() const
{
    QMutexLocker locker(&m_mutex);
    return int(m_entries.size());
}

qint64 ImageCache::totalCost() const
{
    QMutexLocker locker(&m_mutex);
    return m_totalCost;
}

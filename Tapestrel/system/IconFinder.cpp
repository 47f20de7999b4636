#include "Tapestrel/system/IconFinder.h"

#include "Tapestrel/model/AppConfig.h"
#include "platform/Workspace.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

QCoro::Task<std::optional<QImage>> IconFinder::icon(const AppConfig &config, int edge)
{
    // Chosen before anything is awaited, so the caller's record need not outlive the call. No
    // installed edition gives the empty identifier, which no application has.
    return icon(config.currentBundleID().value_or(QString()), edge);
}

QCoro::Task<std::optional<QImage>> IconFinder::icon(QString bundleIdentifier, int edge)
{
    const std::optional<Platform::InstalledApplication> application =
        Platform::Workspace::shared().applicationWithBundleIdentifier(bundleIdentifier);
    if (!application || edge <= 0)
        co_return std::nullopt;
    const QIcon source = Platform::Workspace::shared().iconForFile(application->path);
    co_return resizedImage(source, QSize(edge, edge));
}

QImage IconFinder::resizedImage(const QIcon &icon, const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (size.isEmpty() || icon.isNull())
        return image;
    const QList<QSize> available = icon.availableSizes();
    if (available.contains(size)) {
        const QImage exact = icon.pixmap(size).toImage();
        if (exact.size() == size)
            return exact.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    QSize largest = size;
    for (const QSize &candidate : available) {
        if (candidate.width() * candidate.height() > largest.width() * largest.height())
            largest = candidate;
    }
    const QPixmap best = icon.pixmap(largest);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(QPoint(0, 0), size), best);
    return image;
}

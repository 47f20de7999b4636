#include "Tapestrel/background/BackgroundTile.h"

#include "KivDesktopBackground/PictureDecoder.h"
#include "KivDesktopBackground/PictureOrigin.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/PlainToolTip.h"
#include "KivUtilities/Symbols.h"
#include "Tapestrel/background/BackgroundSelection.h"
#include "Tapestrel/background/ImageCache.h"

#include <QApplication>
#include <QEasingCurve>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QTimer>
#include <QVariantAnimation>

#include <algorithm>
#include <deque>

using KivDesktopBackground::Background;

namespace {

// The check mark: a bold white tick with a soft dark shadow.
void paintCheckmark(QPainter &painter, const QRectF &area, double opacity)
{
    if (opacity <= 0)
        return;
    const QPointF centre = area.center();
    const double s = BackgroundTile::markSize / 2.0;
    QPainterPath tick;
    tick.moveTo(centre + QPointF(-0.75 * s, 0.05 * s));
    tick.lineTo(centre + QPointF(-0.2 * s, 0.6 * s));
    tick.lineTo(centre + QPointF(0.8 * s, -0.6 * s));
    painter.save();
    painter.setOpacity(opacity);
    painter.setBrush(Qt::NoBrush);
    for (int spread = 3; spread >= 1; --spread) {
        painter.setPen(QPen(QColor(0, 0, 0, int(0.33 * 255 / 3)), 3 + spread, Qt::SolidLine, Qt::RoundCap,
                            Qt::RoundJoin));
        painter.drawPath(tick);
    }
    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(tick);
    painter.restore();
}

// The image tiles waiting for their thumbnails, in the order they asked, and how many load now. GUI
// thread only.
struct TileLoads
{
    std::deque<QPointer<BackgroundImageView>> waiting;
    int loading = 0;
    bool scheduled = false;
};

TileLoads &tileLoads()
{
    static TileLoads loads;
    return loads;
}

} // namespace

BackgroundTile::BackgroundTile(BackgroundSelection *selection, const Background &background, double size,
                               QWidget *parent)
    : QAbstractButton(parent)
    , m_selection(selection)
    , m_background(background)
    , m_size(size)
{
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(background.kind() == Background::Kind::image ? background.url().fileName()
                                                                   : background.rawValue());
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_selection)
            m_selection->set(m_background);
    });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (QMenu *menu = makeMenu(this)) {
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(mapToGlobal(pos));
        }
    });
    if (selection)
        connect(selection, &BackgroundSelection::changed, this, &BackgroundTile::selectionChanged);
    // The first state shows at once, without fading.
    m_selected = isSelected();
    m_markOpacity = m_selected ? 1 : 0;
}

bool BackgroundTile::isSelected() const
{
    return m_selection && m_selection->isSelected(m_background);
}

void BackgroundTile::selectionChanged()
{
    const bool selected = isSelected();
    if (selected == m_selected)
        return;
    m_selected = selected;
    if (!m_fade) {
        // Made at the first change: most tiles of a long library never fade.
        m_fade = new QVariantAnimation(this);
        // Close to the spring of the design (response 0.5 s, little overshoot).
        m_fade->setDuration(350);
        m_fade->setEasingCurve(QEasingCurve::OutCubic);
        connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
            m_markOpacity = value.toDouble();
            update();
        });
    }
    m_fade->stop();
    m_fade->setStartValue(m_markOpacity);
    m_fade->setEndValue(selected ? 1.0 : 0.0);
    m_fade->start();
}

QMenu *BackgroundTile::makeMenu(QWidget *parent) const
{
    return m_menuBuilder ? m_menuBuilder(parent) : nullptr;
}

QSize BackgroundTile::sizeHint() const
{
    return QSize(int(m_size), int(m_size * 9 / 16));
}

void BackgroundTile::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(area, cornerRadius, cornerRadius);
    // The glass: a faint translucent body under whatever the tile shows, and its rim over it.
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    painter.drawPixmap(0, 0, glass(false, dark));
    if (fillsShape()) {
        painter.save();
        painter.setClipPath(shape);
        paintSwatch(painter, area);
        painter.restore();
    } else {
        paintSwatch(painter, area);
    }
    painter.drawPixmap(0, 0, glass(true, dark));
    if (hasFocus() || isDown()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), isDown() ? 2 : 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }
    paintCheckmark(painter, area, m_markOpacity);
}

QPixmap BackgroundTile::glass(bool rim, bool dark) const
{
    // Drawn once for all the tiles of a size: the rounded shape's antialiased body and outline took
    // most of the first paint of a long library.
    const qreal ratio = devicePixelRatioF();
    const QString key = QStringLiteral("BackgroundTile %1 %2 %3 %4 %5")
                            .arg(width())
                            .arg(height())
                            .arg(ratio)
                            .arg(rim)
                            .arg(dark);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = QPixmap(size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    if (rim) {
        painter.setPen(QPen(dark ? QColor(255, 255, 255, 70) : QColor(255, 255, 255, 160), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    } else {
        painter.fillPath(shape, dark ? QColor(255, 255, 255, 22) : QColor(0, 0, 0, 14));
    }
    painter.end();
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

bool ColorView::fillsShape() const
{
    return background().kind() == Background::Kind::color;
}

bool GradientView::fillsShape() const
{
    const auto *gradient = background().gradient();
    return background().kind() == Background::Kind::linearGradient && gradient && !gradient->stops.isEmpty();
}

bool BackgroundImageView::fillsShape() const
{
    return m_thumbnail.has_value();
}

void ColorView::paintSwatch(QPainter &painter, const QRectF &area)
{
    if (background().kind() == Background::Kind::color)
        painter.fillRect(area, background().colorValue());
}

void GradientView::paintSwatch(QPainter &painter, const QRectF &area)
{
    const auto *gradient = background().gradient();
    if (background().kind() == Background::Kind::linearGradient && gradient && !gradient->stops.isEmpty())
        painter.fillRect(area, QBrush(gradient->gradientFor(area)));
}

BackgroundImageView::BackgroundImageView(BackgroundSelection *selection, const Background &background,
                                         double size, QWidget *parent)
    : BackgroundTile(selection, background, size, parent)
{
    if (!fileExists()) {
        const QUrl url = background.url();
        setToolTip(KivUtilities::plainToolTip(
            tr("Image not found at: ")
            + (url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded))));
    }
}

bool BackgroundImageView::fileExists() const
{
    const QUrl url = background().url();
    return background().kind() == Background::Kind::image && url.isLocalFile()
        && QFileInfo(url.toLocalFile()).isFile();
}

bool BackgroundImageView::isShowingMissingMark() const
{
    return !m_thumbnail && (m_finished || !fileExists());
}

void BackgroundImageView::requestLoad()
{
    if (m_loading || m_finished)
        return;
    m_loading = true;
    tileLoads().waiting.emplace_back(this);
    scheduleLoads();
}

void BackgroundImageView::scheduleLoads()
{
    TileLoads &loads = tileLoads();
    if (loads.scheduled)
        return;
    loads.scheduled = true;
    // Started once this paint is done: decoding threads never compete with the first paint.
    QTimer::singleShot(0, qApp, &BackgroundImageView::startLoads);
}

void BackgroundImageView::startLoads()
{
    TileLoads &loads = tileLoads();
    loads.scheduled = false;
    // As many at once as the previews' decoder decodes side by side: the others keep their turns here,
    // where a tile scrolled out of view gives its turn up (it asks again when next painted), so that
    // after a scroll the tiles in view come next rather than those scrolled past.
    const int atOnce = std::max(1, KivDesktopBackground::PictureDecoder::previews().pool().maxThreadCount());
    while (loads.loading < atOnce && !loads.waiting.empty()) {
        const QPointer<BackgroundImageView> tile = loads.waiting.front();
        loads.waiting.pop_front();
        if (!tile)
            continue;
        if (tile->visibleRegion().isEmpty()) {
            tile->m_loading = false;
            continue;
        }
        ++loads.loading;
        KivUtilities::detached(
            load(tile, tile->background().url(), tile->tileWidth(), ImageCache::screenScale()),
            "BackgroundImageView load");
    }
}

QCoro::Task<void> BackgroundImageView::load(QPointer<BackgroundImageView> self, QUrl url, double width,
                                            double scale)
{
    std::optional<QImage> image = co_await ImageCache::shared().thumbnail(url, width, scale);
    --tileLoads().loading;
    scheduleLoads();
    // A tile that went away meanwhile takes nothing.
    if (!self)
        co_return;
    self->m_thumbnail = std::move(image);
    self->m_loading = false;
    self->m_finished = true;
    if (!self->m_thumbnail && self->fileExists())
        self->setToolTip(
            KivUtilities::plainToolTip(tr("The image cannot be read: ")
                                       + KivDesktopBackground::PictureOrigin::nameOf(url.toLocalFile())));
    self->update();
    emit self->loadFinished();
}

void BackgroundImageView::paintSwatch(QPainter &painter, const QRectF &area)
{
    if (m_thumbnail) {
        painter.drawImage(area, *m_thumbnail);
        return;
    }
    if (m_finished || !fileExists()) {
        const int extent = markSize;
        const QRect mark(int(area.center().x()) - extent / 2, int(area.center().y()) - extent / 2, extent,
                         extent);
        KivUtilities::Symbols::icon(QStringLiteral("photo.badge.exclamationmark")).paint(&painter, mark);
        return;
    }
    requestLoad();
}

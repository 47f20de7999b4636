#include "KivDesktopBackground/BackgroundWindowView.h"

#include "KivDesktopBackground/BackgroundView.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace KivDesktopBackground {

namespace {

std::chrono::nanoseconds steadyNow()
{
    return std::chrono::steady_clock::now().time_since_epoch();
}

} // namespace

BackgroundWindowView::BackgroundWindowView(DesktopBackgroundController *controller, QWidget *parent,
                                           Clock clock)
    : QWidget(parent)
    , m_controller(controller)
    , m_clock(clock ? std::move(clock) : Clock(steadyNow))
    , m_easing(QEasingCurve::BezierSpline)
{
    setObjectName(QStringLiteral("BackgroundWindowView"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The classic ease-in-out timing curve.
    m_easing.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));

    m_frameTimer.setInterval(16);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, [this] {
        advance();
        update();
    });

    // A new window shows the controller's background at once, without a fade.
    if (controller) {
        m_current.background = controller->background().value_or(Background::clear());
        m_current.picture = controller->picture();
        m_incoming = Layer {m_current.background, m_current.picture, {}};
        connect(controller, &DesktopBackgroundController::backgroundChanged, this,
                &BackgroundWindowView::onControllerBackgroundChanged);
    }
    m_showsSomething = showsSomething();
}

BackgroundWindowView::~BackgroundWindowView() = default;

bool BackgroundWindowView::compositing() const
{
    return !m_controller || m_controller->compositingActive();
}

double BackgroundWindowView::incomingOpacity() const
{
    if (!m_fading)
        return 0;
    const double progress = std::chrono::duration<double>(m_clock() - m_fadeStart).count()
        / std::chrono::duration<double>(transitionDuration).count();
    return m_easing.valueForProgress(std::clamp(progress, 0.0, 1.0));
}

bool BackgroundWindowView::showsSomething() const
{
    return !m_current.background.isClear() || (m_fading && !m_incoming.background.isClear());
}

void BackgroundWindowView::onControllerBackgroundChanged()
{
    if (m_controller)
        transition(m_controller->background().value_or(Background::clear()), m_controller->picture());
}

void BackgroundWindowView::transition(const Background &next, const QImage &picture)
{
    // While a fade runs, compare with what is fading in: a quick return to the earlier background
    // must fade back to it, or the screens would settle on a value the controller no longer holds.
    const Background &shownOrComing = m_fading ? m_incoming.background : m_current.background;
    if (next == shownOrComing)
        return;

    // A fade under way is cut off: its half-shown layer goes at once.
    m_incoming = Layer {next, picture, {}};
    if (!compositing() && (next.isClear() || m_current.background.isClear())) {
        // Without a compositor the clear layer cannot show the desktop; fading to or from it would
        // fade through black. Switch at once instead.
        m_fading = true;
        settle();
        return;
    }
    // Decode before the clock starts, so a slow image does not eat into the fade.
    prepare(m_incoming, size(), devicePixelRatioF());
    m_fading = true;
    m_fadeStart = m_clock();
    m_frameTimer.start();
    updateShowsSomething();
    update();
}

void BackgroundWindowView::advance()
{
    if (m_fading && m_clock() - m_fadeStart >= transitionDuration)
        settle();
}

void BackgroundWindowView::settle()
{
    if (!m_fading)
        return;
    m_fading = false;
    m_frameTimer.stop();
    // The incoming layer becomes the settled one; the screen-sized image is kept once.
    m_current = std::move(m_incoming);
    m_incoming = Layer {m_current.background, m_current.picture, {}};
    updateShowsSomething();
    update();
}

void BackgroundWindowView::updateShowsSomething()
{
    const bool shows = showsSomething();
    if (shows == m_showsSomething)
        return;
    m_showsSomething = shows;
    emit showsSomethingChanged(shows);
}

void BackgroundWindowView::paintLayer(QPainter &painter, Layer &layer, const QRect &rect, double opacity,
                                      bool replace)
{
    if (opacity <= 0 || layer.background.isClear())
        return;
    painter.setOpacity(opacity);
    // An opaque layer at full strength replaces what is there: a plain copy, no blending.
    painter.setCompositionMode(replace && opacity >= 1.0 && isOpaque(layer)
                                   ? QPainter::CompositionMode_Source
                                   : QPainter::CompositionMode_SourceOver);
    if (layer.background.kind() == Background::Kind::color) {
        painter.fillRect(rect, layer.background.colorValue());
        return;
    }
    prepare(layer, rect.size(), painter.device() ? painter.device()->devicePixelRatioF() : 1.0);
    painter.drawImage(rect.topLeft(), layer.image);
}

void BackgroundWindowView::prepare(Layer &layer, const QSize &size, qreal ratio)
{
    if (layer.background.kind() == Background::Kind::color || size.isEmpty())
        return;
    const QSize pixels(qRound(size.width() * ratio), qRound(size.height() * ratio));
    if (layer.image.size() == pixels)
        return;
    layer.image = BackgroundView::render(layer.background, layer.picture, pixels);
    layer.image.setDevicePixelRatio(ratio);
}

bool BackgroundWindowView::isOpaque(const Layer &layer)
{
    switch (layer.background.kind()) {
    case Background::Kind::color:
        return layer.background.colorValue().alpha() == 255;
    case Background::Kind::image:
        return !layer.image.isNull() && !layer.image.hasAlphaChannel();
    case Background::Kind::linearGradient:
        return !layer.background.gradient()->stops.isEmpty()
            && std::all_of(
                layer.background.gradient()->stops.cbegin(), layer.background.gradient()->stops.cend(),
                [](const SerializableLinearGradient::Stop &stop) { return stop.color.alpha() == 255; });
    }
    return false;
}

namespace {

// The image the painter writes into, when it writes straight into one without moving or clipping
// the drawing to a part of it (the window's own surface, or an image in a benchmark).
QImage *directTarget(QPainter &painter, const QRect &rect, const QSize &pixels)
{
    QPaintEngine *engine = painter.paintEngine();
    QPaintDevice *device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image || rect.topLeft() != QPoint(0, 0))
        return nullptr;
    auto *image = static_cast<QImage *>(device);
    // Writing into shared pixel data would detach it and leave the painted surface untouched.
    if (!image->isDetached())
        return nullptr;
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxScale || transform.dx() != 0 || transform.dy() != 0)
        return nullptr;
    if (image->size() != pixels
        || (image->format() != QImage::Format_ARGB32_Premultiplied
            && image->format() != QImage::Format_RGB32))
        return nullptr;
    return image;
}

// A processor with AVX2 gets a second build of the mix, chosen when the program loads: the same
// instructions in their VEX form. The legacy SSE form runs at half speed or worse right after code
// that leaves the upper halves of the vector registers in use, as Qt's clearing of a translucent
// window's surface before each paint does.
#if defined(__SSE2__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define KIV_MIX_VARIANTS __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef KIV_MIX_VARIANTS
#define KIV_MIX_VARIANTS
#endif

// target = (lower × (256 - alpha) + upper × alpha) / 256, per byte of opaque 32-bit pixels: one pass
// that reads the two layers and writes the frame, instead of a copy and a blend over it. Sixteen
// bytes at a time where the processor has SSE2 (every x86-64 does), since the optimised build that
// users run does not vectorise the plain loop by itself; the rest of a row byte by byte, with the
// same arithmetic, so both give the same bytes.
KIV_MIX_VARIANTS void mixOpaque(const QImage &lower, const QImage &upper, QImage &target, int alpha)
{
    const int inverse = 256 - alpha;
    const qsizetype rowBytes = qsizetype(target.width()) * 4;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i upperWeight = _mm_set1_epi16(short(alpha));
    const __m128i lowerWeight = _mm_set1_epi16(short(inverse));
    // Each 16-bit sum is at most 255 × 256, so it neither overflows nor needs a signed shift.
    const auto mixHalf = [&](__m128i l, __m128i u) {
        return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(l, lowerWeight), _mm_mullo_epi16(u, upperWeight)),
                              8);
    };
#endif
    for (int y = 0; y < target.height(); ++y) {
        const uchar *l = lower.constScanLine(y);
        const uchar *u = upper.constScanLine(y);
        uchar *out = target.scanLine(y);
        qsizetype i = 0;
#if defined(__SSE2__)
        for (; i + 16 <= rowBytes; i += 16) {
            const __m128i lv = _mm_loadu_si128(reinterpret_cast<const __m128i *>(l + i));
            const __m128i uv = _mm_loadu_si128(reinterpret_cast<const __m128i *>(u + i));
            const __m128i low = mixHalf(_mm_unpacklo_epi8(lv, zero), _mm_unpacklo_epi8(uv, zero));
            const __m128i high = mixHalf(_mm_unpackhi_epi8(lv, zero), _mm_unpackhi_epi8(uv, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(low, high));
        }
#endif
        for (; i < rowBytes; ++i)
            out[i] = uchar((l[i] * inverse + u[i] * alpha) >> 8);
    }
}

} // namespace

void BackgroundWindowView::paintFrame(QPainter &painter, const QRect &rect)
{
    if (m_fading && m_current.background.kind() != Background::Kind::color
        && m_incoming.background.kind() != Background::Kind::color) {
        const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        prepare(m_current, rect.size(), ratio);
        prepare(m_incoming, rect.size(), ratio);
        QImage *target = directTarget(painter, rect, m_current.image.size());
        if (target && isOpaque(m_current) && isOpaque(m_incoming) && m_incoming.image.size() == target->size()
            && m_current.image.depth() == 32 && m_incoming.image.depth() == 32) {
            mixOpaque(m_current.image, m_incoming.image, *target, qRound(incomingOpacity() * 256));
            return;
        }
    }
    paintLayer(painter, m_current, rect, 1.0, true);
    if (m_fading)
        paintLayer(painter, m_incoming, rect, incomingOpacity(), false);
    painter.setOpacity(1.0);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void BackgroundWindowView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintFrame(painter, rect());
}

void BackgroundWindowView::hideEvent(QHideEvent *event)
{
    // A hidden window shows nothing, so there is nothing to animate; land on the incoming value.
    settle();
    QWidget::hideEvent(event);
}

qsizetype BackgroundWindowView::heldImageBytes() const
{
    return m_current.image.sizeInBytes() + m_incoming.image.sizeInBytes();
}

} // namespace KivDesktopBackground

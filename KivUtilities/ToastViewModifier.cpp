#include "KivUtilities/ToastViewModifier.h"

#include "KivUtilities/ToastController.h"
#include "KivUtilities/ToastView.h"
#include "platform/NotificationCenter.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QTimer>

#include <chrono>
#include <utility>

namespace KivUtilities {

ToastViewModifier::ToastViewModifier(QWidget *host)
    : QWidget(host)
    , m_host(host)
    , m_toast(new ToastView(this))
    , m_opacity(new QGraphicsOpacityEffect(m_toast))
{
    setObjectName(QStringLiteral("ToastViewModifier"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    m_toast->setGraphicsEffect(m_opacity);
    m_toast->hide();

    setGeometry(host->rect());
    raise();
    show();
    host->installEventFilter(this);

    Platform::NotificationCenter::defaultCenter().observe(ToastController::notificationName, this,
                                                          [this](const QVariantMap &userInfo) {
                                                              // Only a host on screen shows toasts.
                                                              if (m_host && m_host->isVisible())
                                                                  handleNotification(userInfo);
                                                          });
}

void ToastViewModifier::handleNotification(const QVariantMap &userInfo)
{
    const QVariant message = userInfo.value(QStringLiteral("message"));
    if (message.metaType() != QMetaType::fromType<LocalizedStringKey>())
        return;
    Request request;
    request.message = message.value<LocalizedStringKey>();
    const QVariant symbol = userInfo.value(QStringLiteral("symbol"));
    if (symbol.metaType() == QMetaType::fromType<QString>())
        request.symbol = symbol.toString();
    const QVariant position = userInfo.value(QStringLiteral("position"));
    if (position.metaType() == QMetaType::fromType<QString>())
        request.position = toastPositionFromRawValue(position.toString()).value_or(ToastPosition::Bottom);
    this->request(request);
}

void ToastViewModifier::request(const Request &request)
{
    // The toast on screen leaves now in any case (fast below), so its timed hide is not needed.
    m_timeline.cancel(std::exchange(m_hideTask, 0));
    if (m_isTransitioning) {
        m_pending = request;
        return;
    }
    if (!m_isVisible) {
        present(request);
        return;
    }
    m_isTransitioning = true;
    setToastVisible(false, fastHideMs);
    m_timeline.after(std::chrono::milliseconds(replaceDelayMs), [this, request] {
        if (!m_isTransitioning)
            return; // the host disappeared meanwhile: nothing is left to show
        const Request next = m_pending.value_or(request);
        m_pending.reset();
        present(next);
        m_isTransitioning = false;
    });
}

void ToastViewModifier::present(const Request &request)
{
    m_isTransitioning = false;
    m_currentMessage = request.message;
    m_currentSymbol = request.symbol;
    m_currentPosition = request.position;
    m_toast->setContent(request.message, request.symbol);
    setToastVisible(true, animationMs);
    m_hideTask = m_timeline.after(std::chrono::milliseconds(displayDurationMs), [this] {
        m_hideTask = 0;
        setToastVisible(false, animationMs);
    });
}

QRect ToastViewModifier::shownRect() const
{
    const QSize size = m_toast->sizeHint().boundedTo(QSize(qMax(0, width() - 2 * sideMargin), height()));
    const int x = (width() - size.width()) / 2;
    int y = 0;
    switch (m_currentPosition.value_or(ToastPosition::Bottom)) {
    case ToastPosition::Top:
        y = 0;
        break;
    case ToastPosition::Center:
        y = (height() - size.height() - bottomMargin) / 2;
        break;
    case ToastPosition::Bottom:
        y = height() - size.height() - bottomMargin;
        break;
    }
    return QRect(QPoint(x, y), size);
}

QRect ToastViewModifier::hiddenRect() const
{
    // Top and bottom toasts slide from their edge; a centred one only fades.
    QRect rect = shownRect();
    switch (m_currentPosition.value_or(ToastPosition::Bottom)) {
    case ToastPosition::Top:
        rect.moveBottom(-1);
        break;
    case ToastPosition::Bottom:
        rect.moveTop(height());
        break;
    case ToastPosition::Center:
        break;
    }
    return rect;
}

void ToastViewModifier::setToastVisible(bool visible, int durationMs)
{
    if (visible == m_isVisible && (visible || !m_toast->isVisible()))
        return;
    m_isVisible = visible;
    m_timeline.cancel(std::exchange(m_animation, 0));
    const QRect shown = shownRect();
    const QRect hidden = hiddenRect();
    m_toast->resize(shown.size());
    if (visible && !m_toast->isVisible()) {
        m_toast->move(hidden.topLeft());
        m_opacity->setOpacity(0);
        m_toast->show();
        m_toast->raise();
    }
    // The toast slides along the eased curve and fades linearly.
    const QEasingCurve curve(durationMs == fastHideMs ? QEasingCurve::OutQuad
                                 : visible            ? QEasingCurve::OutBack
                                                      : QEasingCurve::OutCubic);
    const QPointF fromPosition = m_toast->pos();
    const QPointF toPosition = visible ? shown.topLeft() : hidden.topLeft();
    const qreal fromOpacity = m_opacity->opacity();
    const qreal toOpacity = visible ? 1.0 : 0.0;
    m_animation = m_timeline.animate(
        std::chrono::milliseconds(durationMs),
        [=, this](double progress) {
            const qreal eased = curve.valueForProgress(progress);
            m_toast->move((fromPosition + (toPosition - fromPosition) * eased).toPoint());
            m_opacity->setOpacity(fromOpacity + (toOpacity - fromOpacity) * progress);
        },
        [this] {
            m_animation = 0;
            if (!m_isVisible)
                m_toast->hide();
        });
}

void ToastViewModifier::hostDisappeared()
{
    m_timeline.cancel(std::exchange(m_hideTask, 0));
    setToastVisible(false, animationMs);
    m_isTransitioning = false;
    m_pending.reset();
}

bool ToastViewModifier::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host) {
        if (event->type() == QEvent::Resize) {
            setGeometry(m_host->rect());
            raise();
            if (m_isVisible && !m_timeline.isActive(m_animation))
                m_toast->setGeometry(shownRect());
        } else if (event->type() == QEvent::Hide) {
            hostDisappeared();
        } else if (event->type() == QEvent::ChildAdded) {
            // Stay above content added later.
            QTimer::singleShot(0, this, [this] { raise(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

ToastViewModifier *toastOverlay(QWidget *host)
{
    if (!host)
        return nullptr;
    if (auto *existing = host->findChild<ToastViewModifier *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new ToastViewModifier(host);
}

} // namespace KivUtilities

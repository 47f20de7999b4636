#pragma once

#include "KivUtilities/LocalizedStringKey.h"
#include "KivUtilities/Timeline.h"
#include "KivUtilities/ToastPosition.h"

#include <QEasingCurve>
#include <QPointer>
#include <QWidget>

#include <optional>

class QGraphicsOpacityEffect;

namespace KivUtilities {

class ToastView;

// Shows toasts over a host widget whenever "ShowToastNotification" is posted while the host is on
// screen. It lies over the host's whole area, takes no clicks, and follows the host's size.
// When toasts follow each other quickly, the one on screen leaves fast and only the latest request
// shows next.
class ToastViewModifier : public QWidget
{
    Q_OBJECT
public:
    static constexpr int fastHideMs = 120;
    static constexpr int replaceDelayMs = 150;
    static constexpr int displayDurationMs = 2200;
    static constexpr int animationMs = 400;
    // Distance kept from the host's edges: below the toast and on both sides.
    static constexpr int bottomMargin = 20;
    static constexpr int sideMargin = 16;

    explicit ToastViewModifier(QWidget *host);

    struct Request
    {
        LocalizedStringKey message;
        std::optional<QString> symbol;
        ToastPosition position = ToastPosition::Bottom;
    };

    // Requests a toast as the notification does.
    void request(const Request &request);
    // Reads a notification's user info; ignores one without a usable message.
    void handleNotification(const QVariantMap &userInfo);

    bool isToastVisible() const { return m_isVisible; }
    bool isTransitioning() const { return m_isTransitioning; }
    LocalizedStringKey currentMessage() const { return m_currentMessage; }
    std::optional<QString> currentSymbol() const { return m_currentSymbol; }
    std::optional<ToastPosition> currentPosition() const { return m_currentPosition; }
    // The toast widget; shown while a toast is on screen or leaving it.
    ToastView *toastView() const { return m_toast; }
    // Times the display, the replacement delay and the slides; tests give it their own clock.
    Timeline &timeline() { return m_timeline; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void present(const Request &request);
    void setToastVisible(bool visible, int durationMs);
    void hostDisappeared();
    QRect shownRect() const;
    QRect hiddenRect() const;

    QPointer<QWidget> m_host;
    ToastView *m_toast;
    QGraphicsOpacityEffect *m_opacity;
    Timeline m_timeline;
    Timeline::Id m_animation = 0;

    bool m_isVisible = false;
    LocalizedStringKey m_currentMessage;
    std::optional<QString> m_currentSymbol;
    std::optional<ToastPosition> m_currentPosition;
    Timeline::Id m_hideTask = 0;
    bool m_isTransitioning = false;
    // The latest request that arrived during a replacement, kept whole.
    std::optional<Request> m_pending;
};

// Attaches a toast overlay to the host (once; a second call returns the first overlay).
ToastViewModifier *toastOverlay(QWidget *host);

} // namespace KivUtilities

#pragma once

#include "KivDesktopBackground/Background.h"

#include <QEasingCurve>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>

namespace KivDesktopBackground {

class DesktopBackgroundController;

// The content of one background window: the settled background and, during a change, the incoming
// one fading in over it (0.25 s, ease in-out). Both layers are painted here; each image is decoded
// and scaled to the window once per change, so a fade frame is two blits.
class BackgroundWindowView : public QWidget
{
    Q_OBJECT

public:
    // Monotonic time; tests pass their own to step through a fade.
    using Clock = std::function<std::chrono::nanoseconds()>;

    static constexpr std::chrono::milliseconds transitionDuration {250};

    explicit BackgroundWindowView(DesktopBackgroundController *controller, QWidget *parent = nullptr,
                                  Clock clock = {});
    ~BackgroundWindowView() override;

    const Background &currentBackground() const { return m_current.background; }
    const Background &incomingBackground() const { return m_incoming.background; }
    // 0 when settled; during a fade the eased share of the incoming layer.
    double incomingOpacity() const;
    bool isFading() const { return m_fading; }

    // Whether the window has anything to draw: false once it has settled on a clear background.
    bool showsSomething() const;

    // Starts a fade to `next` (an image drawn from its decoded `picture`), unless the view already
    // shows or is fading to it.
    void transition(const Background &next, const QImage &picture = {});

    // Looks at the clock: settles the fade when its time is up. The frame timer calls it; tests call
    // it after moving their clock.
    void advance();

    // Paints one frame of the window's content into `rect` (device-independent pixels).
    void paintFrame(QPainter &painter, const QRect &rect);

    // Bytes held by the decoded layer images.
    qsizetype heldImageBytes() const;

signals:
    void showsSomethingChanged(bool showsSomething);

protected:
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Layer
    {
        Background background = Background::clear();
        QImage picture; // an image background's decoded picture, shared with the controller
        QImage image; // the image or gradient at the size it was made for; colours need none
    };

    void onControllerBackgroundChanged();
    void settle();
    void prepare(Layer &layer, const QSize &size, qreal ratio);
    void paintLayer(QPainter &painter, Layer &layer, const QRect &rect, double opacity, bool replace);
    static bool isOpaque(const Layer &layer);
    void updateShowsSomething();
    bool compositing() const;

    QPointer<DesktopBackgroundController> m_controller;
    Clock m_clock;
    Layer m_current;
    Layer m_incoming;
    bool m_fading = false;
    std::chrono::nanoseconds m_fadeStart {0};
    QTimer m_frameTimer;
    QEasingCurve m_easing;
    bool m_showsSomething = false;
};

} // namespace KivDesktopBackground

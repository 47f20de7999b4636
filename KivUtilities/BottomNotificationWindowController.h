#pragma once

#include "KivUtilities/Timeline.h"

#include <QObject>
#include <QPointer>
#include <QSizeF>

#include <functional>

namespace KivUtilities {

class BottomNotificationView;

// Owns the window of one bottom notice and runs its fades. Each notice gets its own window.
class BottomNotificationWindowController : public QObject
{
    Q_OBJECT
public:
    static constexpr QSizeF size {200, 200};
    // Height of the notice's bottom edge above the bottom of the main screen.
    static constexpr qreal yPosition = 140;
    static constexpr int fadeInMs = 200;
    static constexpr int fadeOutMs = 800;

    // Builds and places the window around the view (taking it over); does not show it.
    explicit BottomNotificationWindowController(BottomNotificationView *view, QObject *parent = nullptr);
    ~BottomNotificationWindowController() override;

    // Shows the window and fades it in; calls the completion once the fade-in has started.
    void show(const std::function<void()> &completion = {});
    // Fades the window out and closes it.
    void hide();
    // Closes the window at once, without a fade.
    void close();

    // The notice's window; null once it has been closed.
    BottomNotificationView *window() const { return m_window; }
    // Times the fades and whatever the notice waits for; tests give it their own clock.
    Timeline &timeline() { return m_timeline; }

private:
    void animateOpacity(qreal to, int durationMs, const std::function<void()> &finished);

    QPointer<BottomNotificationView> m_window;
    Timeline m_timeline;
    Timeline::Id m_animation = 0;
};

} // namespace KivUtilities

#pragma once

#include "KivDesktopBackground/Background.h"
#include "KivDesktopBackground/ScreenSource.h"
#include "KivUtilities/Timeline.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>

#include <QCoro/QCoroTask>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>

namespace KivDesktopBackground {

class BackgroundWindow;
class DesktopWallpaper;

// Owns the background shown on every screen and one BackgroundWindow per connected screen. Setting
// the background makes every window cross-fade to it. Screen changes and changes of the active
// virtual desktop re-sync the windows a quarter of a second later.
//
// Where another program shows a desktop of its own (its icons, its own background) whose background
// the program does not reach, the controller draws no windows over it, says so once on standard error,
// and draws again once that desktop has gone.
//
// Given a DesktopWallpaper, the controller hands each background to the desktop's own wallpaper
// instead and draws no windows at all: the desktop shows the backgrounds (and fades by itself). A
// background the desktop did not take is reported, and the desktop keeps what it shows. Handing over
// may mean drawing a screen-sized picture or waiting seconds for a desktop's tool, so it runs off the
// GUI thread.
class DesktopBackgroundController : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds resyncDelay {250};

    // Follows the application's screens.
    explicit DesktopBackgroundController(QObject *parent = nullptr);
    // Follows the given screens (tests pass fake ones).
    explicit DesktopBackgroundController(std::unique_ptr<ScreenSource> screens, QObject *parent = nullptr);
    // Hands backgrounds to the desktop's wallpaper, when one is given; windows come only when needed.
    DesktopBackgroundController(std::unique_ptr<ScreenSource> screens,
                                std::unique_ptr<DesktopWallpaper> wallpaper, QObject *parent = nullptr);
    ~DesktopBackgroundController() override;

    const std::optional<Background> &background() const { return m_background; }
    // The decoded picture of an image background that the windows draw, at the size that covers every
    // screen; null for other backgrounds and where the desktop shows the backgrounds itself.
    const QImage &picture() const { return m_picture; }

    // What became of a background set.
    struct Outcome
    {
        // Why it is not shown, naming the picture; nothing when it is shown or was passed over.
        std::optional<QString> refusal;
        // A later background took its place before it was shown (or handed to the desktop).
        bool superseded = false;

        bool operator==(const Outcome &) const = default;
    };

    // Shows the background: an image is first decoded once, by the program's decoding process
    // (PictureDecoder), waited for on the decoder's own threads (its file is not read again); one that
    // cannot be decoded changes nothing and the task gives why, naming the picture. Every other value
    // is published at once, also an equal one; the windows ignore values they already show. A later
    // background ends the decoding of an earlier picture at once, which is then dropped and answers
    // that it was superseded. With a desktop wallpaper, the background is then handed to the desktop on
    // a thread of its own, one background after the other in the order they were set; one that is
    // still waiting when a later one is set is never handed over (superseded too), so the desktop ends
    // with the latest.
    QCoro::Task<Outcome> setBackground(std::optional<Background> background);
    // Ends the decoding of a picture that is still under way, because a later background is on its
    // way (a newer apply waits for its turn): that set answers that it was superseded, and what is
    // shown stays until the later one comes. Nothing happens when no picture is being decoded.
    void endPendingPicture();
    bool isDecodingPicture() const { return m_decoding != nullptr; }

    // Whether something is visibly drawn: a background that is not clear (an image always counts,
    // even when its file is gone). A background the desktop shows itself stays when the program
    // quits, so it does not count; nor does one that another program's desktop keeps from being drawn.
    bool hasVisibleBackground() const;
    // The other program whose desktop keeps the windows from being drawn, while it does.
    const std::optional<QString> &otherDesktop() const { return m_otherDesktop; }

    // The desktop's own wallpaper, when backgrounds are handed to it; and whether the desktop shows
    // the backgrounds (no windows are drawn then).
    DesktopWallpaper *wallpaper() const { return m_wallpaper.get(); }
    bool isShownByDesktop() const { return m_shownByDesktop; }

    // The size, in pixels, of the largest connected screen; and of each one.
    QSize largestScreenPixels() const;
    QList<QSize> screenPixels() const;

    bool compositingActive() const;

    void screenChanged();
    void scheduleResync();
    void resyncWindows();
    void sendWindowsToBack();

    static QString screenKey(const ScreenInfo &screen);

    // Times the re-syncs; tests give it their own clock.
    KivUtilities::Timeline &timeline() { return m_timeline; }

    const std::map<QString, std::unique_ptr<BackgroundWindow>> &windowsByScreenKey() const
    {
        return m_windowsByScreenKey;
    }

signals:
    void backgroundChanged(const std::optional<KivDesktopBackground::Background> &background);

private:
    void syncWindows();
    void endDecoding();
    void otherDesktopChanged();
    void sayWhenNotDrawn() const;

    std::unique_ptr<ScreenSource> m_screens;
    // Shared with the hand-over in flight, which may outlast the controller.
    std::shared_ptr<DesktopWallpaper> m_wallpaper;
    // The number of the latest background handed over; a waiting hand-over with an older one is
    // skipped.
    std::shared_ptr<std::atomic<quint64>> m_latestHandOver = std::make_shared<std::atomic<quint64>>(0);
    // One thread, so that hand-overs reach the desktop in order. Declared after what they use; its
    // destruction waits for the one in flight.
    QThreadPool m_handOverThread;
    const bool m_shownByDesktop;
    std::optional<Background> m_background;
    QImage m_picture;
    // The number of the latest background set; a picture decoded for an earlier one is not shown.
    quint64 m_latestSet = 0;
    // Ends the decoding of the latest picture set, while it runs.
    std::shared_ptr<std::atomic<bool>> m_decoding;
    std::map<QString, std::unique_ptr<BackgroundWindow>> m_windowsByScreenKey;
    bool m_windowsSupported = true;
    std::optional<QString> m_otherDesktop;
    KivUtilities::Timeline m_timeline;
};

} // namespace KivDesktopBackground

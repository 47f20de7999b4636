#pragma once

#include "KivDesktopBackground/Background.h"
#include "KivDesktopBackground/ScreenSource.h"
#include "KivUtilities/Timeline.h"

#include <QObject>

#include <chrono>
#include <map>
#include <memory>
#include <optional>

namespace KivDesktopBackground {

class BackgroundWindow;

// Owns the background shown on every screen and one BackgroundWindow per connected screen. Setting
// the background makes every window cross-fade to it. Screen changes and changes of the active
// virtual desktop re-sync the windows a quarter of a second later.
class DesktopBackgroundController : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds resyncDelay {250};

    // Follows the application's screens.
    explicit DesktopBackgroundController(QObject *parent = nullptr);
    // Follows the given screens (tests pass fake ones).
    explicit DesktopBackgroundController(std::unique_ptr<ScreenSource> screens, QObject *parent = nullptr);
    ~DesktopBackgroundController() override;

    const std::optional<Background> &background() const { return m_background; }
    // Publishes every set, also of an equal value; the windows ignore values they already show.
    void setBackground(const std::optional<Background> &background);

    // Whether something is visibly drawn: a background that is not clear (an image always counts,
    // even when its file is gone).
    bool hasVisibleBackground() const;

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

    std::unique_ptr<ScreenSource> m_screens;
    std::optional<Background> m_background;
    std::map<QString, std::unique_ptr<BackgroundWindow>> m_windowsByScreenKey;
    bool m_windowsSupported = true;
    KivUtilities::Timeline m_timeline;
};

} // namespace KivDesktopBackground

#include "KivDesktopBackground/DesktopBackgroundController.h"

#include "KivDesktopBackground/BackgroundWindow.h"
#include "KivDesktopBackground/DesktopWallpaper.h"
#include "KivDesktopBackground/PictureDecoder.h"
#include "KivDesktopBackground/SystemScreenSource.h"
#include "KivUtilities/VisibleText.h"
#include "platform/LinuxDesktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

#include <cstdio>

namespace KivDesktopBackground {

namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

struct HandOver
{
    bool skipped = false;
    std::optional<QString> refusal;
};

// Shows the background on the desktop, unless a later one is waiting to follow it.
HandOver handOver(std::shared_ptr<DesktopWallpaper> wallpaper, std::shared_ptr<std::atomic<quint64>> latest,
                  quint64 number, Background background, QSize pixelSize)
{
    if (latest->load() != number)
        return {true, std::nullopt};
    try {
        wallpaper->show(background, pixelSize);
    } catch (const Platform::DesktopError &error) {
        return {false, error.message()};
    }
    return {};
}

} // namespace

DesktopBackgroundController::DesktopBackgroundController(QObject *parent)
    : DesktopBackgroundController(std::make_unique<SystemScreenSource>(), parent)
{ }

DesktopBackgroundController::DesktopBackgroundController(std::unique_ptr<ScreenSource> screens,
                                                         QObject *parent)
    : DesktopBackgroundController(std::move(screens), nullptr, parent)
{ }

DesktopBackgroundController::DesktopBackgroundController(std::unique_ptr<ScreenSource> screens,
                                                         std::unique_ptr<DesktopWallpaper> wallpaper,
                                                         QObject *parent)
    : QObject(parent)
    , m_screens(std::move(screens))
    , m_wallpaper(std::move(wallpaper))
    // The desktop shows the backgrounds itself: the program draws nothing over them.
    , m_shownByDesktop(m_wallpaper != nullptr)
{
    m_handOverThread.setMaxThreadCount(1);
    if (onWayland()) {
        // Wayland gives clients no way to place a window beneath the others on the desktop; a
        // normal window over the screen would cover everything instead.
        m_windowsSupported = false;
        // Where the desktop shows the backgrounds itself, nothing is missing.
        static bool told = false;
        if (!told && !m_wallpaper) {
            told = true;
            std::fputs("Tapestrel: desktop backgrounds need an X11 session; none will be shown on Wayland.\n",
                       stderr);
        }
    }
    if (!m_shownByDesktop)
        m_otherDesktop = m_screens->otherDesktop();
    syncWindows();
    connect(m_screens.get(), &ScreenSource::screensChanged, this,
            &DesktopBackgroundController::screenChanged);
    connect(m_screens.get(), &ScreenSource::activeSpaceChanged, this,
            &DesktopBackgroundController::scheduleResync);
    if (!m_shownByDesktop)
        connect(m_screens.get(), &ScreenSource::otherDesktopChanged, this,
                &DesktopBackgroundController::otherDesktopChanged);
}

DesktopBackgroundController::~DesktopBackgroundController()
{
    endDecoding();
}

QCoro::Task<DesktopBackgroundController::Outcome>
DesktopBackgroundController::setBackground(std::optional<Background> background)
{
    QPointer<DesktopBackgroundController> self(this);
    const quint64 set = ++m_latestSet;
    // The decoding of an earlier picture is of no use any more.
    endDecoding();
    QImage picture;
    if (background && background->kind() == Background::Kind::image) {
        // Decoded before anything changes: a picture that cannot be shown leaves the screens as they
        // are, and what the windows draw is this very decoding. The desktop reads the file itself, but
        // it would show a picture that does not decode as black too.
        const QList<QSize> sizes = m_shownByDesktop ? QList<QSize> {largestScreenPixels()} : screenPixels();
        const auto decoding = std::make_shared<std::atomic<bool>>(false);
        m_decoding = decoding;
        PictureDecoder &decoder = PictureDecoder::shared();
        PictureDecoder::Decoded decoded = co_await QtConcurrent::run(
            &decoder.pool(), &PictureDecoder::covering, &decoder, background->url(), sizes, decoding);
        if (!self || m_latestSet != set)
            co_return Outcome {std::nullopt, true};
        m_decoding.reset();
        if (decoded.failure)
            co_return Outcome {decoded.failure};
        if (!m_shownByDesktop)
            picture = std::move(decoded.image);
    }
    m_background = background;
    m_picture = picture;
    emit backgroundChanged(m_background);
    sayWhenNotDrawn();
    // A clear background leaves the desktop showing its own wallpaper, as the clear windows would.
    if (!m_wallpaper || !background || background->isClear())
        co_return Outcome {};
    const quint64 number = ++*m_latestHandOver;
    const HandOver done =
        co_await QtConcurrent::run(&m_handOverThread, &handOver, m_wallpaper, m_latestHandOver, number,
                                   *background, largestScreenPixels());
    if (done.skipped)
        co_return Outcome {std::nullopt, true};
    // A background the desktop refused is not drawn over it either: the desktop keeps what it shows.
    co_return Outcome {done.refusal};
}

void DesktopBackgroundController::endPendingPicture()
{
    if (!m_decoding)
        return;
    ++m_latestSet;
    endDecoding();
}

void DesktopBackgroundController::endDecoding()
{
    if (m_decoding)
        *m_decoding = true;
    m_decoding.reset();
}

bool DesktopBackgroundController::hasVisibleBackground() const
{
    return m_background && !m_background->isClear() && !m_shownByDesktop && !m_otherDesktop;
}

void DesktopBackgroundController::otherDesktopChanged()
{
    m_otherDesktop = m_screens->otherDesktop();
    // At once: the windows drawn over the other desktop would hide its icons until the next re-sync.
    resyncWindows();
    sayWhenNotDrawn();
}

void DesktopBackgroundController::sayWhenNotDrawn() const
{
    if (!m_otherDesktop || !m_background || m_background->isClear())
        return;
    Platform::LinuxDesktop::sayOnce(QCoreApplication::translate("DesktopBackgroundController",
                                                                "“%1” shows a desktop of its own, whose "
                                                                "background Tapestrel cannot reach; no "
                                                                "background is drawn over it.")
                                        .arg(KivUtilities::visibleControls(*m_otherDesktop)));
}

QSize DesktopBackgroundController::largestScreenPixels() const
{
    QSize largest;
    for (const QSize &pixels : screenPixels()) {
        if (qint64(pixels.width()) * pixels.height() > qint64(largest.width()) * largest.height())
            largest = pixels;
    }
    return largest;
}

QList<QSize> DesktopBackgroundController::screenPixels() const
{
    QList<QSize> sizes;
    for (const ScreenInfo &screen : m_screens->screens()) {
        const qreal ratio = screen.screen ? screen.screen->devicePixelRatio() : 1.0;
        sizes.append(
            QSize(qRound(screen.geometry.width() * ratio), qRound(screen.geometry.height() * ratio)));
    }
    return sizes;
}

bool DesktopBackgroundController::compositingActive() const
{
    return m_screens->compositingActive();
}

void DesktopBackgroundController::screenChanged()
{
    scheduleResync();
}

void DesktopBackgroundController::scheduleResync()
{
    // Each call plans its own re-sync; the controller's timeline drops it if the controller goes.
    m_timeline.after(resyncDelay, [this] { resyncWindows(); });
}

void DesktopBackgroundController::resyncWindows()
{
    syncWindows();
    sendWindowsToBack();
}

void DesktopBackgroundController::sendWindowsToBack()
{
    for (const auto &[key, window] : m_windowsByScreenKey)
        window->orderBack();
}

QString DesktopBackgroundController::screenKey(const ScreenInfo &screen)
{
    return screen.number ? QString::number(*screen.number) : screen.name;
}

void DesktopBackgroundController::syncWindows()
{
    // The desktop shows the backgrounds itself: windows would only cover what it shows.
    if (m_shownByDesktop)
        return;
    if (!m_windowsSupported)
        return;
    // Another program's desktop shows there: its icons and its own background stay uncovered.
    if (m_otherDesktop) {
        for (const auto &[key, window] : m_windowsByScreenKey)
            window->close();
        m_windowsByScreenKey.clear();
        return;
    }
    const QList<ScreenInfo> screens = m_screens->screens();
    QSet<QString> keys;
    for (const ScreenInfo &screen : screens)
        keys.insert(screenKey(screen));
    for (auto it = m_windowsByScreenKey.begin(); it != m_windowsByScreenKey.end();) {
        if (keys.contains(it->first)) {
            ++it;
            continue;
        }
        it->second->close();
        it = m_windowsByScreenKey.erase(it);
    }
    for (const ScreenInfo &screen : screens) {
        const QString key = screenKey(screen);
        const auto found = m_windowsByScreenKey.find(key);
        if (found != m_windowsByScreenKey.end())
            found->second->place(screen);
        else
            m_windowsByScreenKey.emplace(key, std::make_unique<BackgroundWindow>(screen, this));
    }
}

} // namespace KivDesktopBackground

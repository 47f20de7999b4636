#include "FakeScreenSource.h"

#include "KivDesktopBackground/BackgroundWindow.h"
#include "KivDesktopBackground/BackgroundWindowView.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "KivDesktopBackground/PictureDecoder.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/ManualClock.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QElapsedTimer>
#include <QPainter>

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace KivDesktopBackground;
using namespace std::chrono_literals;
using TestSupport::spinEventLoop;
using TestSupport::waitUntil;
using Stop = SerializableLinearGradient::Stop;

namespace {

// The re-syncs follow the fixture's clock; the windows' fades keep the steady clock.
struct Fixture
{
    TestSupport::ManualClock clock;
    FakeScreenSource *screens = new FakeScreenSource;
    std::unique_ptr<DesktopBackgroundController> controller;

    explicit Fixture(QList<ScreenInfo> initial, std::optional<QString> otherDesktop = std::nullopt)
    {
        screens->list = std::move(initial);
        screens->other = std::move(otherDesktop);
        controller = std::make_unique<DesktopBackgroundController>(std::unique_ptr<ScreenSource>(screens));
        controller->timeline().setClock(clock.function());
        clock.drive([this] {
            if (controller)
                controller->timeline().advance();
        });
    }
    Fixture(const Fixture &) = delete;
    Fixture &operator=(const Fixture &) = delete;

    // Lets the re-sync that a screen change planned happen.
    void resync() { clock.runFor(DesktopBackgroundController::resyncDelay); }

    QStringList keys() const
    {
        QStringList result;
        for (const auto &[key, window] : controller->windowsByScreenKey())
            result.append(key);
        return result;
    }
    BackgroundWindow *window(const QString &key) const
    {
        const auto found = controller->windowsByScreenKey().find(key);
        return found == controller->windowsByScreenKey().end() ? nullptr : found->second.get();
    }
};

} // namespace

TEST(DesktopBackgroundController, KeepsOneWindowPerScreenThroughChanges)
{
    Fixture f({fakeScreen("DP-1", QRect(0, 0, 640, 480)), fakeScreen("HDMI-1", QRect(640, 0, 320, 240), 7)});
    EXPECT_EQ(f.keys(), (QStringList {"7", "DP-1"}));
    BackgroundWindow *first = f.window("DP-1");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->geometry(), QRect(0, 0, 640, 480));
    // Nothing is shown until a background is set: the windows stay hidden.
    EXPECT_FALSE(first->isVisible());

    // A new screen gets its window a quarter second after the notice, not before.
    f.screens->changeScreens(f.screens->list + QList {fakeScreen("DP-2", QRect(0, 480, 100, 100))});
    f.clock.runFor(DesktopBackgroundController::resyncDelay - 1ms);
    EXPECT_EQ(f.keys().size(), 2);
    f.clock.runFor(1ms);
    EXPECT_EQ(f.keys(), (QStringList {"7", "DP-1", "DP-2"}));

    // A changed frame moves the same window.
    f.screens->list[0].geometry = QRect(0, 0, 800, 600);
    f.screens->changeScreens(f.screens->list);
    f.resync();
    EXPECT_EQ(f.window("DP-1"), first);
    EXPECT_EQ(first->geometry(), QRect(0, 0, 800, 600));

    // A renamed screen is a new key: the old window goes, a new one comes.
    f.screens->list[2].name = QStringLiteral("DP-3");
    // Removing a screen drops its window.
    f.screens->list.removeAt(1);
    f.screens->changeScreens(f.screens->list);
    f.resync();
    EXPECT_EQ(f.keys(), (QStringList {"DP-1", "DP-3"}));

    // Two screens with one key share one window, placed on the later one.
    f.screens->changeScreens(
        {fakeScreen("Same", QRect(0, 0, 10, 10)), fakeScreen("Same", QRect(10, 0, 20, 20))});
    f.resync();
    ASSERT_EQ(f.keys(), QStringList {"Same"});
    EXPECT_EQ(f.window("Same")->geometry(), QRect(10, 0, 20, 20));
}

TEST(DesktopBackgroundController, SpaceChangeResyncsAndDestroyedControllerIgnoresPendingResync)
{
    Fixture f({fakeScreen("A", QRect(0, 0, 10, 10))});
    // The source changes without telling; a space change still picks it up.
    f.screens->list.append(fakeScreen("B", QRect(10, 0, 10, 10)));
    f.screens->switchSpace();
    f.resync();
    EXPECT_EQ(f.keys(), (QStringList {"A", "B"}));

    f.screens->changeScreens({});
    f.controller.reset();
    // Must not touch the destroyed controller, by either clock.
    f.resync();
    spinEventLoop(DesktopBackgroundController::resyncDelay + 100ms);
}

TEST(DesktopBackgroundController, VisibleBackgroundAndWindowVisibility)
{
    Fixture f({fakeScreen("A", QRect(0, 0, 64, 48))});
    EXPECT_FALSE(f.controller->hasVisibleBackground());
    f.controller->setBackground(Background::clear());
    EXPECT_FALSE(f.controller->hasVisibleBackground());
    f.controller->setBackground(
        Background::linearGradient(SerializableLinearGradient(0, {Stop {Qt::transparent, {}}})));
    EXPECT_FALSE(f.controller->hasVisibleBackground());
    f.controller->setBackground(Background::linearGradient(
        SerializableLinearGradient(0, {Stop {Qt::transparent, {}}, Stop {Qt::red, {}}})));
    EXPECT_TRUE(f.controller->hasVisibleBackground());
    EXPECT_TRUE(f.window("A")->isVisible());

    // Every set is published, also of an equal value, but an equal value starts no fade.
    QSignalSpy spy(f.controller.get(), &DesktopBackgroundController::backgroundChanged);
    f.controller->setBackground(Background::color(Qt::red));
    ASSERT_TRUE(waitUntil([&] { return !f.window("A")->hostingView()->isFading(); }));
    f.controller->setBackground(Background::color(Qt::red));
    EXPECT_EQ(spy.count(), 2);
    EXPECT_FALSE(f.window("A")->hostingView()->isFading());

    // A window made for a newly connected screen shows the current background at once.
    f.screens->changeScreens(f.screens->list + QList {fakeScreen("B", QRect(64, 0, 64, 48))});
    f.resync();
    BackgroundWindowView *view = f.window("B")->hostingView();
    EXPECT_FALSE(view->isFading());
    EXPECT_EQ(view->currentBackground(), Background::color(Qt::red));
    EXPECT_TRUE(f.window("B")->isVisible());

    // A picture is decoded once, before it is shown: one that does not decode changes nothing, and a
    // window made after the file was spoilt still draws what was decoded.
    TestSupport::TempHome home;
    QImage green(32, 24, QImage::Format_RGB32);
    green.fill(Qt::green);
    ASSERT_TRUE(green.save(home.filePath("green.png")));
    const Background picture = Background::image(QUrl::fromLocalFile(home.filePath("green.png")));
    EXPECT_EQ(TestSupport::runTask(f.controller->setBackground(picture)).refusal, std::nullopt);
    EXPECT_TRUE(f.controller->hasVisibleBackground());
    home.writeFile("green.png", QByteArray("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(TestSupport::runTask(f.controller->setBackground(
                                       Background::image(QUrl::fromLocalFile(home.filePath("green.png")))))
                  .refusal,
              "The picture “" + home.filePath("green.png")
                  + "” cannot be shown: its data is damaged or incomplete.");
    EXPECT_EQ(f.controller->background(), picture);
    f.screens->changeScreens(f.screens->list + QList {fakeScreen("C", QRect(128, 0, 64, 48))});
    f.resync();
    QImage drawn(64, 48, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&drawn);
    f.window("C")->hostingView()->paintFrame(painter, drawn.rect());
    painter.end();
    EXPECT_EQ(drawn.pixel(32, 24), qRgb(0, 255, 0));

    // A background set while a picture is decoded wins over it, and ends the decoding at once (here a
    // decoding process that never answers, within a time limit of 20 seconds).
    ASSERT_TRUE(green.save(home.filePath("green.png")));
    home.writeFile("silent", "#!/bin/sh\nexec sleep 30\n");
    QFile::setPermissions(home.filePath("silent"), QFile::ReadOwner | QFile::ExeOwner);
    {
        const TestSupport::ScopedVariable tool("TAPESTREL_PICTURE_TOOL",
                                               QFile::encodeName(home.filePath("silent")));
        PictureDecoder::shared().endIdleProcesses();
        QElapsedTimer clock;
        clock.start();
        QCoro::Task<DesktopBackgroundController::Outcome> decoding = f.controller->setBackground(picture);
        f.controller->setBackground(Background::color(Qt::red));
        EXPECT_EQ(TestSupport::runTask(std::move(decoding)),
                  (DesktopBackgroundController::Outcome {{}, true}));
        EXPECT_LT(clock.elapsed(), 5000);
    }
    EXPECT_EQ(f.controller->background(), Background::color(Qt::red));

    // Back to nothing: once the fade to clear has settled, the windows are hidden.
    f.controller->setBackground(std::nullopt);
    EXPECT_TRUE(f.window("A")->isVisible());
    EXPECT_TRUE(waitUntil([&] { return !f.window("A")->isVisible() && !f.window("B")->isVisible(); }));
}

// Another program's desktop (its icons and its own background) is never drawn over, whichever came
// first; the program says once which desktop it is, and draws the background again once it is gone.
TEST(DesktopBackgroundController, AnotherProgramsDesktopIsNeverDrawnOver)
{
    TestSupport::CapturedStandardError standardError;
    Fixture f({fakeScreen("A", QRect(0, 0, 64, 48))}, "Peerdesk");
    f.controller->setBackground(Background::color(Qt::blue));
    EXPECT_TRUE(f.keys().isEmpty());
    EXPECT_FALSE(f.controller->hasVisibleBackground()) << "no quit question for what is not drawn";
    EXPECT_EQ(standardError.text(),
              "Tapestrel: “Peerdesk” shows a desktop of its own, whose background "
              "Tapestrel cannot reach; no background is drawn over it.\n");

    f.screens->showOtherDesktop(std::nullopt);
    ASSERT_EQ(f.keys(), QStringList {"A"});
    EXPECT_EQ(f.window("A")->hostingView()->currentBackground(), Background::color(Qt::blue));
    EXPECT_TRUE(f.controller->hasVisibleBackground());

    // A desktop that comes while the background is drawn takes the screens back at once, and keeps them.
    f.screens->showOtherDesktop("Peerdesk");
    EXPECT_TRUE(f.keys().isEmpty());
    f.resync();
    EXPECT_TRUE(f.keys().isEmpty());
    EXPECT_EQ(standardError.text().count("shows a desktop of its own"), 1) << "said once";
}

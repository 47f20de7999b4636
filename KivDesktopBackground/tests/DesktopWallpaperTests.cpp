#include "FakeScreenSource.h"

#include "KivDesktopBackground/BackgroundView.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "KivDesktopBackground/DesktopWallpaper.h"
#include "platform/GnomeDesktop.h"
#include "testsupport/GnomeSettings.h"
#include "testsupport/RunTask.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMutex>
#include <QPainter>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <thread>

using namespace KivDesktopBackground;
using Platform::DesktopError;
using Stop = SerializableLinearGradient::Stop;
using TestSupport::runTask;

namespace {

const QString background = QStringLiteral("org/gnome/desktop/background");

// A desktop that shows pictures only, and takes them or not as the test says. Each change takes as
// long as the test lets it (a desktop's tool may take seconds), and tells whether it was made on the
// GUI thread.
class PictureDesktop : public Platform::LinuxDesktop
{
public:
    bool refuse = false;
    QString refusedName;
    // Free until the test holds it.
    QSemaphore turns {1000};
    std::atomic<int> changesBegun = 0;
    std::atomic<bool> changedOnGuiThread = false;

    QStringList pictures() const
    {
        QMutexLocker locker(&m_mutex);
        return m_pictures;
    }

    QString name() const override { return QStringLiteral("Pictures only"); }
    std::optional<bool> darkMode() const override { return std::nullopt; }
    bool setDarkMode(bool) override { return false; }
    std::optional<QString> accentColor() const override { return std::nullopt; }
    bool setAccentColor(const QString &) override { return false; }
    bool showsPictures() const override { return true; }
    bool showsColors() const override { return false; }
    bool setPicture(const QString &file) override
    {
        if (QThread::currentThread() == qApp->thread())
            changedOnGuiThread = true;
        ++changesBegun;
        // A GUI thread waiting here gets through after a while, so that the test fails instead of hanging.
        if (turns.tryAcquire(1, 2000))
            turns.release(1);
        if (refuse || QFileInfo(file).fileName() == refusedName)
            throw DesktopError(QStringLiteral("The desktop is busy."));
        QMutexLocker locker(&m_mutex);
        m_pictures.append(file);
        return true;
    }
    bool setColor(const QColor &) override
    {
        ADD_FAILURE() << "no plain colours here";
        return false;
    }
    std::optional<Platform::DesktopPicture> picture() const override { return std::nullopt; }

private:
    mutable QMutex m_mutex;
    QStringList m_pictures;
};

Background diagonal()
{
    return Background::linearGradient(SerializableLinearGradient(
        33, {Stop {QColor("#FF5500"), {}}, Stop {QColor("#2233AA"), 0.4}, Stop {QColor("#11CC88"), {}}}));
}

Background vertical()
{
    return Background::linearGradient(
        SerializableLinearGradient(90, {Stop {QColor("#000000"), {}}, Stop {QColor("#FFFFFF"), {}}}));
}

QStringList pictureFiles(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// Largest difference of a colour channel between two pictures of the same size.
int largestDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

class DesktopWallpaperTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(gnome.isValid()) << gnome.error().toStdString(); }

    std::shared_ptr<Platform::GnomeDesktop> desktop(bool readOnly = false) const
    {
        return std::make_shared<Platform::GnomeDesktop>(
            Platform::GnomeDesktop::Store {gnome.schemaFolder(), gnome.keyfile(), readOnly});
    }

    TestSupport::GnomeSettings gnome;
    QTemporaryDir data;
    QString folder = data.filePath("desktop-pictures");
};

} // namespace

TEST_F(DesktopWallpaperTest, GradientsAreRenderedOnceAtTheScreenSizeAndPicturesNoLongerShownGo)
{
    DesktopWallpaper wallpaper(desktop(), folder);
    const QSize size(640, 360);
    wallpaper.show(diagonal(), size);
    const QString name = DesktopWallpaper::pictureName(diagonal(), size);
    ASSERT_EQ(pictureFiles(folder), QStringList {name});
    const QString file = QDir(folder).filePath(name);
    EXPECT_EQ(gnome.value(background, "picture-uri"), "'file://" + file + "'");
    EXPECT_EQ(gnome.value(background, "picture-uri-dark"), "'file://" + file + "'");

    // The picture is the gradient the program's own windows draw, across every strip it was made in.
    const QImage picture(file);
    ASSERT_EQ(picture.size(), size);
    QImage drawn(size, QImage::Format_RGB32);
    drawn.fill(Qt::black);
    QPainter(&drawn).drawImage(0, 0, BackgroundView::render(diagonal(), {}, size));
    EXPECT_LE(largestDifference(picture, drawn), 1);
    // Reading the desktop gives the gradient back, not a picture of it.
    EXPECT_EQ(wallpaper.current(), diagonal());

    // The same background again is the same file, not drawn anew.
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile touched(file);
        ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
        ASSERT_TRUE(touched.setFileTime(old, QFileDevice::FileModificationTime));
    }
    wallpaper.show(diagonal(), size);
    EXPECT_EQ(QFileInfo(file).lastModified(), old);
    // A screen of another size gets a picture of its own size.
    wallpaper.show(diagonal(), QSize(320, 200));
    EXPECT_EQ(QImageReader(gnome.value(background, "picture-uri")->mid(8).chopped(1)).size(),
              QSize(320, 200));

    // Another gradient replaces the picture; an image or a colour leaves none behind. An image is
    // handed over by its file, also in a format the program does not decode itself.
    wallpaper.show(vertical(), size);
    EXPECT_EQ(pictureFiles(folder), QStringList {DesktopWallpaper::pictureName(vertical(), size)});
    const QString image = data.filePath("Sea.webp");
    QFile sea(image);
    ASSERT_TRUE(sea.open(QIODevice::WriteOnly));
    sea.write(QByteArrayLiteral("RIFF\x10\0\0\0WEBPVP8X not drawn here"));
    sea.close();
    wallpaper.show(Background::image(QUrl::fromLocalFile(image)), size);
    EXPECT_EQ(gnome.value(background, "picture-uri"), "'file://" + image + "'");
    EXPECT_TRUE(pictureFiles(folder).isEmpty());
    EXPECT_EQ(wallpaper.current(), Background::image(QUrl::fromLocalFile(image)));

    wallpaper.show(vertical(), size);
    wallpaper.show(Background::color(QColor("#336699")), size);
    EXPECT_EQ(gnome.value(background, "primary-color"), "'#336699'");
    EXPECT_EQ(gnome.value(background, "picture-options"), "'none'");
    EXPECT_TRUE(pictureFiles(folder).isEmpty());
    EXPECT_EQ(wallpaper.current(), Background::color(QColor("#336699")));

    // Clear is nothing to show: the desktop keeps what it has.
    const QByteArray before = gnome.keyfileBytes();
    wallpaper.show(Background::clear(), size);
    EXPECT_EQ(gnome.keyfileBytes(), before);
}

TEST_F(DesktopWallpaperTest, WhatTheDesktopCannotTakeLeavesTheDesktopAsItWas)
{
    DesktopWallpaper wallpaper(desktop(), folder);
    const QSize size(200, 100);
    const QByteArray before = gnome.keyfileBytes();

    const auto refused = [&](const Background &shown, const QString &reason, DesktopWallpaper &to) {
        try {
            to.show(shown, size);
            ADD_FAILURE() << "taken: " << shown.rawValue().toStdString();
        } catch (const DesktopError &error) {
            EXPECT_TRUE(error.message().contains(reason)) << error.message().toStdString();
        }
        EXPECT_EQ(gnome.keyfileBytes(), before);
    };
    refused(Background::image(QUrl::fromLocalFile(data.filePath("gone.png"))), "gone.png", wallpaper);
    // A pipe in a picture's place is not waited on.
    ASSERT_EQ(::mkfifo(QFile::encodeName(data.filePath("pipe.png")).constData(), 0600), 0);
    refused(Background::image(QUrl::fromLocalFile(data.filePath("pipe.png"))), "pipe.png", wallpaper);

    // A data folder that cannot hold pictures.
    QFile blocking(data.filePath("blocked"));
    ASSERT_TRUE(blocking.open(QIODevice::WriteOnly));
    blocking.close();
    DesktopWallpaper blocked(desktop(), blocking.fileName());
    refused(diagonal(), blocking.fileName(), blocked);

    DesktopWallpaper locked(desktop(true), folder);
    refused(diagonal(), "locked", locked);
}

TEST_F(DesktopWallpaperTest, WhileTheDesktopShowsTheBackgroundNoWindowIsDrawn)
{
    auto pictures = std::make_shared<PictureDesktop>();
    auto *screens = new FakeScreenSource;
    screens->list = {fakeScreen("A", QRect(0, 0, 1280, 720), 1),
                     fakeScreen("B", QRect(1280, 0, 1600, 900), 2)};
    DesktopBackgroundController controller(std::unique_ptr<ScreenSource>(screens),
                                           std::make_unique<DesktopWallpaper>(pictures, folder));
    EXPECT_TRUE(controller.windowsByScreenKey().empty()) << "the desktop shows its own wallpaper";

    EXPECT_EQ(runTask(controller.setBackground(vertical())).refusal, std::nullopt);
    EXPECT_TRUE(controller.windowsByScreenKey().empty());
    EXPECT_TRUE(controller.isShownByDesktop());
    EXPECT_FALSE(controller.hasVisibleBackground()) << "quitting takes nothing away";
    ASSERT_EQ(pictures->pictures().size(), 1);
    EXPECT_EQ(QImageReader(pictures->pictures().constFirst()).size(), QSize(1600, 900))
        << "the largest screen";

    // A background the desktop does not take is not drawn over it either; the reason comes back.
    pictures->refuse = true;
    EXPECT_EQ(runTask(controller.setBackground(diagonal())).refusal, "The desktop is busy.");
    EXPECT_TRUE(controller.windowsByScreenKey().empty());
    EXPECT_FALSE(controller.hasVisibleBackground()) << "no quit question";

    pictures->refuse = false;
    EXPECT_EQ(runTask(controller.setBackground(vertical())).refusal, std::nullopt);
    EXPECT_TRUE(controller.windowsByScreenKey().empty());
    // A desktop without plain colours gets a picture of the colour.
    EXPECT_EQ(runTask(controller.setBackground(Background::color(QColor(200, 40, 90)))).refusal,
              std::nullopt);
    const QImage colour(pictures->pictures().constLast());
    ASSERT_EQ(colour.size(), QSize(1600, 900));
    EXPECT_EQ(colour.pixel(0, 0), qRgb(200, 40, 90));
    EXPECT_EQ(colour.pixel(1599, 899), qRgb(200, 40, 90));
}

// Drawing a picture and waiting for the desktop's tool take their time on a thread of their own; the
// desktop gets the backgrounds in the order they were set, and one still waiting when a later one
// comes is never handed over.
TEST_F(DesktopWallpaperTest, TheDesktopIsWaitedForOffTheGuiThreadAndTheLatestBackgroundWins)
{
    auto slow = std::make_shared<PictureDesktop>();
    auto *screens = new FakeScreenSource;
    screens->list = {fakeScreen("A", QRect(0, 0, 640, 360), 1)};
    DesktopBackgroundController controller(std::unique_ptr<ScreenSource>(screens),
                                           std::make_unique<DesktopWallpaper>(slow, folder));
    const QSize size(640, 360);
    const auto named = [&](const Background &shown) {
        return QDir(folder).filePath(DesktopWallpaper::pictureName(shown, size));
    };
    slow->turns.acquire(1000);
    QElapsedTimer clock;
    clock.start();
    auto first = controller.setBackground(diagonal());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return slow->changesBegun == 1; }));
    auto replaced = controller.setBackground(Background::color(Qt::red));
    auto last = controller.setBackground(vertical());
    EXPECT_LT(clock.elapsed(), 1000) << "the GUI thread waited for the desktop";
    EXPECT_EQ(controller.background(), vertical()) << "published at once";
    bool ticked = false;
    QTimer::singleShot(0, [&ticked] { ticked = true; });
    EXPECT_TRUE(TestSupport::waitUntil([&ticked] { return ticked; })) << "the program answers meanwhile";
    slow->turns.release(1000);
    using Outcome = DesktopBackgroundController::Outcome;
    EXPECT_EQ(runTask(std::move(first)), Outcome {});
    EXPECT_EQ(runTask(std::move(replaced)), (Outcome {std::nullopt, true}));
    EXPECT_EQ(runTask(std::move(last)), Outcome {});
    EXPECT_FALSE(slow->changedOnGuiThread);
    EXPECT_EQ(slow->pictures(), QStringList({named(diagonal()), named(vertical())}));

    // A refusal still comes back to whoever set that background.
    slow->refusedName = QFileInfo(named(diagonal())).fileName();
    slow->turns.acquire(1000);
    auto refused = controller.setBackground(diagonal());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return slow->changesBegun == 3; }));
    auto taken = controller.setBackground(vertical());
    slow->turns.release(1000);
    EXPECT_EQ(runTask(std::move(refused)).refusal, "The desktop is busy.");
    EXPECT_EQ(runTask(std::move(taken)), Outcome {});

    // Going while a background is handed over leaves nothing waiting.
    slow->turns.acquire(1000);
    auto *going = new DesktopBackgroundController(std::make_unique<FakeScreenSource>(),
                                                  std::make_unique<DesktopWallpaper>(slow, folder));
    auto orphan = going->setBackground(Background::color(Qt::blue));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return slow->changesBegun == 5; }));
    std::thread finisher([slow] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        slow->turns.release(1000);
    });
    delete going;
    finisher.join();
    EXPECT_EQ(runTask(std::move(orphan)).refusal, std::nullopt);
}

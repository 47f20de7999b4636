#include "LibraryFixture.h"

#include "KivDesktopBackground/PictureDecoder.h"
#include "KivDesktopBackground/PictureProtocol.h"
#include "Tapestrel/background/AddImageButton.h"
#include "Tapestrel/background/BackgroundSelection.h"
#include "Tapestrel/background/BackgroundTile.h"
#include "Tapestrel/background/ImageBackgroundPicker.h"
#include "Tapestrel/background/ImageContentType.h"
#include "platform/Alerts.h"
#include "testsupport/BrokenPictures.h"
#include "testsupport/EventLoopPauses.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/RunTask.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/SilentDecoders.h"

#include <QFile>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <csignal>

#include <gtest/gtest.h>

using KivDesktopBackground::Background;
using TestSupport::runTask;
using TestSupport::waitUntil;
using namespace std::chrono_literals;

namespace {

class ImageSectionTest : public LibraryTests::LibraryTest
{
protected:
    QString picture(const QString &relative, int width = 64)
    {
        const QString path = home.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QImage image(width, width * 9 / 16, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }
    QStringList storedPaths()
    {
        QStringList paths;
        for (CustomBackground *record : stored(CustomBackground::Kind::Image))
            paths.append(record->background().value_or(Background::clear()).url().toLocalFile());
        return paths;
    }
    // Runs `choose` and waits until the chosen images are in (they are copied off the GUI thread).
    template<typename Choose> static bool addImages(ImageBackgroundPicker &picker, Choose choose)
    {
        bool finished = false;
        const QMetaObject::Connection done = QObject::connect(
            picker.addImageButton(), &AddImageButton::imagesImported, [&finished] { finished = true; });
        choose();
        const bool arrived = waitUntil([&finished] { return finished; });
        QObject::disconnect(done);
        return arrived;
    }
    static const QRegularExpression &photoName()
    {
        static const QRegularExpression pattern(
            "^Photo-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.(\\w+)$");
        return pattern;
    }
};

} // namespace

TEST_F(ImageSectionTest, BuiltInPicturesThenRecordsThenTheAddMenu)
{
    // The shipped pictures are copied in and listed by name, any case.
    QDir().mkpath(wallpapers());
    picture("Wallpapers/TAPESTREL3.JPG");
    picture("Wallpapers/tapestrel3.png");
    picture("Wallpapers/tapestrel9.jpg");
    const QString own = picture("Wallpapers/Photo-1.jpg");
    addRecord(CustomBackground::Kind::Image, Background::image(QUrl::fromLocalFile(own)).rawValue());
    addRecord(CustomBackground::Kind::Image, "garbage");
    addRecord(CustomBackground::Kind::Color, Background::color(Qt::red).rawValue());

    Option *option = backgroundOption();
    ImageBackgroundPicker picker(new BackgroundSelection(option, context), context);
    QStringList names;
    for (BackgroundTile *tile : picker.tiles())
        names.append(tile->background().url().fileName());
    EXPECT_EQ(picker.builtInCount(), 9);
    EXPECT_EQ(names.size(), 10);
    EXPECT_TRUE(names.mid(0, 9).contains("TAPESTREL3.JPG"));
    EXPECT_TRUE(names.mid(0, 9).contains("tapestrel-dark.jpg"));
    for (const char *other : {"tapestrel3.png", "tapestrel9.jpg", "Photo-1.jpg"})
        EXPECT_FALSE(names.mid(0, 9).contains(other)) << other;
    EXPECT_EQ(names.last(), "Photo-1.jpg");

    // Menus: built-in tiles apply and choose; the user's images also delete, without duplicating.
    std::unique_ptr<QMenu> menu(picker.tiles().first()->makeMenu());
    EXPECT_EQ(entries(menu.get()), QStringList({"Apply Background", "Choose Background"}));
    menu.reset(picker.tiles().last()->makeMenu());
    EXPECT_EQ(entries(menu.get()), QStringList({"Apply Background", "Choose Background", "-", "Delete"}));

    picker.tiles().last()->click();
    EXPECT_EQ(decoded(option->value())["url"], QUrl::fromLocalFile(own).toString().toStdString());
    EXPECT_TRUE(picker.tiles().last()->isSelected());

    Platform::ScriptedAlertAnswerer alerts;
    alerts.answer("Delete");
    trigger(menu.get(), "Delete");
    settle();
    EXPECT_TRUE(stored(CustomBackground::Kind::Image).size() == 1); // the undecodable one
    EXPECT_TRUE(QFile::exists(own));
    EXPECT_EQ(picker.tiles().size(), 9);
}

TEST_F(ImageSectionTest, AddedImagesAreCopiedUnderNewNamesAndRecorded)
{
    Option *option = backgroundOption();
    ImageBackgroundPicker picker(new BackgroundSelection(option, context), context);
    const int builtIn = picker.builtInCount();
    const QString upper = picture("Pictures/Holiday.PNG");
    const QString bare = picture("Pictures/noextension");
    QDir().mkpath(wallpapers());
    const QString inside = picture("Wallpapers/Photo-Already.png");

    chosenFiles = {upper, bare, upper, inside, home.filePath("Pictures/missing.png")};
    ASSERT_TRUE(addImages(picker, [&] { picker.addImageButton()->menu()->actions().at(0)->trigger(); }));
    const QStringList paths = storedPaths();
    ASSERT_EQ(paths.size(), 4);
    QStringList extensions;
    for (int i : {0, 1, 2}) {
        EXPECT_EQ(QFileInfo(paths[i]).absolutePath(), wallpapers());
        const QRegularExpressionMatch match = photoName().match(QFileInfo(paths[i]).fileName());
        ASSERT_TRUE(match.hasMatch()) << paths[i].toStdString();
        extensions.append(match.captured(1));
        EXPECT_TRUE(QFile::exists(paths[i]));
    }
    EXPECT_EQ(extensions, QStringList({"PNG", "jpg", "PNG"}));
    EXPECT_NE(paths[0], paths[2]);
    EXPECT_EQ(paths[3], inside);
    EXPECT_TRUE(QFile::exists(upper));
    // Adding selects nothing. The tiles follow the store once the import's own event is done.
    EXPECT_EQ(option->value(), "");
    EXPECT_TRUE(waitUntil([&] { return picker.tiles().size() == builtIn + 4; })) << picker.tiles().size();

    // Photos: written one by one into the folder, named like the others, by what they hold.
    chosenPhotos = {picture("Pictures/Beach.heic"), home.filePath("Pictures/unreadable.jpg"),
                    picture("Pictures/plain")};
    bool finished = false;
    QObject::connect(picker.addImageButton(), &AddImageButton::photosImported,
                     [&finished] { finished = true; });
    picker.addImageButton()->menu()->actions().at(1)->trigger();
    ASSERT_TRUE(waitUntil([&finished] { return finished; }));
    const QStringList withPhotos = storedPaths();
    ASSERT_EQ(withPhotos.size(), 6);
    EXPECT_TRUE(withPhotos[4].endsWith(".png"));
    EXPECT_TRUE(withPhotos[5].endsWith(".png"));
    EXPECT_TRUE(photoName().match(QFileInfo(withPhotos[4]).fileName()).hasMatch());

    BackgroundLibraryServices::shared().wallpapersFolder = [this] {
        return home.filePath("Data/backgrounds");
    };
    // The copy is made off the GUI thread: the choice returns before the picture is in.
    chosenFiles = {upper};
    const qsizetype before = storedPaths().size();
    ASSERT_TRUE(addImages(picker, [&] {
        picker.addImageButton()->chooseImageFiles();
        EXPECT_EQ(storedPaths().size(), before);
    }));
    ASSERT_EQ(storedPaths().size(), before + 1);
    EXPECT_EQ(QFileInfo(storedPaths().last()).absolutePath(), home.filePath("Data/backgrounds"));

    auto *gone = new ModelContext(container);
    auto *button = new AddImageButton(gone);
    auto task = button->importSelectedPhotos({upper});
    delete gone;
    runTask(std::move(task));
    delete button;
    EXPECT_EQ(QDir(home.filePath("Data/backgrounds")).entryList(QDir::Files).size(), 1);
}

// A pipe, a device or an oversize file chosen as a picture is left out at once, and named.
TEST_F(ImageSectionTest, WhatIsNoPictureIsLeftOutAtOnceAndNamed)
{
    ImageBackgroundPicker picker(new BackgroundSelection(backgroundOption(), context), context);
    const QString pipe = home.filePath("Pictures/pipe.png");
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
    const QString large = home.filePath("Pictures/huge.png");
    ASSERT_TRUE(TestSupport::HostileFiles::makeSparseFile(
        large, KivDesktopBackground::PictureProtocol::maxBytes + 1));
    const QString good = picture("Pictures/good.png");
    Platform::ScriptedAlertAnswerer alerts;

    chosenFiles = {pipe, "/dev/null", large, home.filePath("Pictures/gone.png"), good};
    EXPECT_LT(
        TestSupport::timeWithPipes(
            {pipe},
            [&] { EXPECT_TRUE(addImages(picker, [&] { picker.addImageButton()->chooseImageFiles(); })); }),
        TestSupport::stuckOnAPipe);
    ASSERT_EQ(storedPaths().size(), 1);
    ASSERT_TRUE(waitUntil([&alerts] { return !alerts.alerts().isEmpty(); }));
    settle();
    ASSERT_EQ(alerts.alerts().size(), 1) << "one alert for the whole choice; a file that is gone is no news";
    EXPECT_EQ(alerts.alerts()[0].message, "3 pictures could not be added.");
    EXPECT_EQ(alerts.alerts()[0].informativeText,
              pipe
                  + ": it is not a regular file\n"
                    "/dev/null: it is not a regular file\n"
                  + large + ": the file is too large (268435457 bytes)");

    bool finished = false;
    QObject::connect(picker.addImageButton(), &AddImageButton::photosImported,
                     [&finished] { finished = true; });
    chosenPhotos = {pipe, good};
    EXPECT_LT(TestSupport::timeWithPipes({pipe},
                                         [&] {
                                             picker.addImageButton()->choosePhotos();
                                             EXPECT_TRUE(waitUntil([&finished] { return finished; }));
                                         }),
              TestSupport::stuckOnAPipe);
    EXPECT_EQ(storedPaths().size(), 2);
    EXPECT_EQ(QDir(wallpapers()).entryList({"Photo-*"}, QDir::Files).size(), 2);
    EXPECT_FALSE(QFileInfo(pipe).isFile());
    ASSERT_TRUE(waitUntil([&alerts] { return alerts.alerts().size() == 2; }));
    EXPECT_EQ(alerts.alerts()[1].message, "The picture “pipe.png” could not be added.");
    EXPECT_EQ(alerts.alerts()[1].informativeText, pipe + ": it is not a regular file");

    // What is copied is the file that was looked at: a pipe that takes its place is never opened.
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QString swappedPath = home.filePath("Pictures/swapped.png");
    TestSupport::HostileFiles::SwappingPipe swapping(swappedPath, goodFile.readAll());
    ASSERT_TRUE(swapping.isValid());
    const auto tally = swapping.keepReading([&] {
        const std::optional<QString> stored = AddImageButton::importImageFile(swappedPath);
        if (stored) {
            EXPECT_EQ(QImage(*stored).size(), QSize(64, 36));
        }
        return stored.has_value();
    });
    EXPECT_LT(tally.took, TestSupport::stuckOnAPipe);
    EXPECT_GT(tally.read, 0);
}

TEST_F(ImageSectionTest, BadPicturesShowTheMissingMarkAndOthersLoadOffTheGuiThread)
{
    QDir().mkpath(wallpapers());
    const QString good = picture("Pictures/good.png", 1600);
    const QString broken = home.filePath("Pictures/broken.jpg");
    home.writeFile("Pictures/broken.jpg", "not a picture");
    for (const QString &path : {good, broken, home.filePath("Pictures/missing.jpg")})
        addRecord(CustomBackground::Kind::Image, Background::image(QUrl::fromLocalFile(path)).rawValue());
    addRecord(CustomBackground::Kind::Image, Background::image(QUrl("pictures/relative.jpg")).rawValue());
    // A drawing is drawn in its tile as a photo is.
    home.writeFile(
        "Pictures/drawing.svg",
        TestSupport::BrokenPictures::svgWithLink(QSize(160, 90), Qt::blue, "https://example.com/"));
    addRecord(CustomBackground::Kind::Image,
              Background::image(QUrl::fromLocalFile(home.filePath("Pictures/drawing.svg"))).rawValue());

    ImageBackgroundPicker picker(new BackgroundSelection(std::optional<Background>()), context);
    picker.resize(480, 400);
    picker.show();
    QList<BackgroundImageView *> tiles;
    for (BackgroundTile *tile : picker.tiles().mid(picker.builtInCount()))
        tiles.append(static_cast<BackgroundImageView *>(tile));
    ASSERT_EQ(tiles.size(), 5);
    ASSERT_TRUE(waitUntil([&tiles] {
        return tiles[0]->hasFinishedLoading() && tiles[1]->hasFinishedLoading()
            && tiles[4]->hasFinishedLoading();
    }));
    EXPECT_TRUE(tiles[0]->isLoaded());
    EXPECT_TRUE(tiles[4]->isLoaded()) << tiles[4]->toolTip().toStdString();
    EXPECT_FALSE(tiles[0]->isShowingMissingMark());
    EXPECT_TRUE(tiles[1]->isShowingMissingMark());
    EXPECT_TRUE(tiles[2]->isShowingMissingMark());
    EXPECT_EQ(tiles[2]->toolTip(), "Image not found at: " + home.filePath("Pictures/missing.jpg"));
    EXPECT_TRUE(tiles[3]->isShowingMissingMark());
    TestSupport::saveScreenshot(&picker, "background/image-grid");

    Platform::ScriptedAlertAnswerer alerts;
    std::unique_ptr<QMenu> menu(tiles[2]->makeMenu());
    trigger(menu.get(), "Apply Background");
    ASSERT_TRUE(waitUntil([&alerts] { return !alerts.alerts().isEmpty(); }));
    EXPECT_EQ(alerts.alerts().constFirst().informativeText,
              "The picture “" + home.filePath("Pictures/missing.jpg") + "” cannot be found.");
    EXPECT_EQ(desktop.background(), std::nullopt);

    // A damaged picture that was added is named by the file the person added, not by the program's copy.
    const QString damaged = home.filePath("Pictures/Damaged.png");
    home.writeFile("Pictures/Damaged.png", TestSupport::BrokenPictures::corruptPng());
    chosenFiles = {damaged};
    ASSERT_TRUE(addImages(picker, [&] { picker.addImageButton()->chooseImageFiles(); }));
    BackgroundImageView *added = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (BackgroundTile *tile : picker.tiles()) {
            if (tile->background().url().toLocalFile() == storedPaths().constLast())
                added = static_cast<BackgroundImageView *>(tile);
        }
        return added && added->hasFinishedLoading();
    }));
    EXPECT_EQ(added->toolTip(), "The image cannot be read: " + damaged);
    menu.reset(added->makeMenu());
    trigger(menu.get(), "Apply Background");
    ASSERT_TRUE(waitUntil([&alerts] { return alerts.alerts().size() == 2; }));
    EXPECT_EQ(alerts.alerts()[1].informativeText,
              "The picture “" + damaged + "” cannot be shown: its data is damaged or incomplete.");
}

// Over many pictures that are slow to decode, the window answers throughout: the waits on the decoding
// processes never take the threads that its drawing uses (the toolkit scales pictures on its shared
// threads), and no more decodes run at once than their memory allows together.
TEST_F(ImageSectionTest, ManySlowPicturesNeverHoldTheWindow)
{
    // Stand-ins that take two seconds to fail, as a slow decode does.
    const TestSupport::SilentDecoders silent(home, 2);
    for (int i = 0; i < 40; ++i) {
        const QString path = picture(QStringLiteral("Pictures/slow-%1.png").arg(i));
        addRecord(CustomBackground::Kind::Image, Background::image(QUrl::fromLocalFile(path)).rawValue());
    }
    ImageBackgroundPicker picker(new BackgroundSelection(std::optional<Background>()), context);
    picker.resize(720, 690);
    picker.show();
    QImage large(4000, 3000, QImage::Format_RGB32);
    large.fill(Qt::darkCyan);
    const TestSupport::EventLoopPauses pauses;
    int mostAtOnce = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000) {
        const QImage scaled = large.scaled(1000, 750, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        EXPECT_FALSE(scaled.isNull());
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        mostAtOnce = std::max(mostAtOnce, silent.runningNow());
    }
    EXPECT_LT(pauses.longest(), 500);
    EXPECT_GE(mostAtOnce, 1);
    EXPECT_LE(mostAtOnce, 2);
}

// After a scroll, the tiles in view are decoded next: those scrolled past give up their turns.
TEST_F(ImageSectionTest, TilesInViewLoadBeforeThoseScrolledPast)
{
    // Stand-ins that take a second to fail, as a large TIFF takes to decode.
    const TestSupport::SilentDecoders silent(home, 1);
    for (int i = 0; i < 60; ++i) {
        const QString path = picture(QStringLiteral("Pictures/slow-%1.png").arg(i));
        addRecord(CustomBackground::Kind::Image, Background::image(QUrl::fromLocalFile(path)).rawValue());
    }
    QScrollArea scroll;
    scroll.setWidgetResizable(true);
    auto *picker = new ImageBackgroundPicker(new BackgroundSelection(std::optional<Background>()), context);
    scroll.setWidget(picker);
    scroll.resize(480, 120);
    scroll.show();
    ASSERT_TRUE(waitUntil([&] { return picker->tiles().size() == picker->builtInCount() + 60; }));
    QList<BackgroundImageView *> tiles;
    for (BackgroundTile *tile : picker->tiles().mid(picker->builtInCount()))
        tiles.append(static_cast<BackgroundImageView *>(tile));
    const auto finishedOutOfView = [&tiles] {
        return std::count_if(tiles.cbegin(), tiles.cend(), [](const BackgroundImageView *tile) {
            return tile->hasFinishedLoading() && tile->visibleRegion().isEmpty();
        });
    };
    // A row at a time, each painted on the way.
    QScrollBar *bar = scroll.verticalScrollBar();
    while (bar->value() < bar->maximum()) {
        bar->setValue(bar->value() + 40);
        QCoreApplication::processEvents();
    }
    const auto beforeTheEnd = finishedOutOfView();
    ASSERT_TRUE(waitUntil(
        [&tiles] {
            return std::all_of(tiles.cbegin(), tiles.cend(), [](const BackgroundImageView *tile) {
                return tile->visibleRegion().isEmpty() || tile->hasFinishedLoading();
            });
        },
        30s));
    // Only those already decoding at the scroll's end went on.
    EXPECT_LE(finishedOutOfView() - beforeTheEnd, 2);
}

TEST(ImageContentTypeTest, PhotosAreNamedByTheirContentAndByTheirNameOnlyWhenItSaysNothing)
{
    const auto ftyp = [](const char *major, QByteArray compatible) {
        QByteArray box = QByteArray("ftyp") + major + QByteArray(4, '\0') + compatible;
        const quint32 size = quint32(box.size() + 4);
        return QByteArray(1, '\0') + char(0) + char(0) + char(size) + box + QByteArray(8, 'x');
    };
    QByteArray bmp("BM");
    bmp += QByteArray(12, '\0') + QByteArray("\x28\0\0\0", 4) + QByteArray(8, '\0');
    QByteArray bmpLookalike("BMW 320i, 1987, with a sunroof and good tyres");
    const struct
    {
        const char *name;
        QByteArray content;
        const char *stored;
    } cases[] = {
        {"noextension", QByteArray("\x89PNG\r\n\x1a\n....IHDR"), "png"},
        {"photo.jpg", QByteArray("\x89PNG\r\n\x1a\n....IHDR"), "png"},
        {"IMG_1.JPG", QByteArray("\xff\xd8\xff\xe0..JFIF"), "JPG"},
        {"scan", QByteArray("\xff\xd8\xff\xe1..Exif"), "jpeg"},
        {"a.gif", QByteArray("GIF89a......"), "gif"},
        {"b", QByteArray("GIF87a......"), "gif"},
        {"c.png", QByteArrayLiteral("RIFF\x10\0\0\0WEBPVP8 "), "webp"},
        {"d", QByteArray("II*\0\x08\0\0\0", 8), "tiff"},
        {"e.TIF", QByteArray("MM\0*\0\0\0\x08", 8), "TIF"},
        {"f", bmp, "bmp"},
        {"g.heic", ftyp("heic", "mif1heic"), "heic"},
        {"h", ftyp("mif1", "mif1heic"), "heic"},
        {"i", ftyp("mif1", "mif1"), "heif"},
        {"j.HEIF", ftyp("msf1", "msf1"), "HEIF"},
        // Nothing known: the name decides, then "jpg".
        {"k.bmp", bmpLookalike, "bmp"},
        {"l", bmpLookalike, "jpg"},
        {"m.avif", ftyp("avif", "mif1avif"), "avif"},
        {"n", QByteArray(), "jpg"},
        {"o.webp", QByteArrayLiteral("RIFF\x10\0\0\0WAVEfmt "), "webp"},
        {"p", QByteArray("\x89PN"), "jpg"},
    };
    for (const auto &test : cases) {
        EXPECT_EQ(ImageContentType::extensionFor(QString::fromLatin1(test.name), test.content),
                  QString::fromLatin1(test.stored))
            << test.name;
    }
}

#include "KivDesktopBackground/BackgroundView.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "KivDesktopBackground/DesktopWallpaper.h"
#include "KivDesktopBackground/PictureDecoder.h"
#include "KivDesktopBackground/PictureProtocol.h"
#include "KivUtilities/DataPath.h"
#include "Tapestrel/background/BackgroundButtons.h"
#include "Tapestrel/background/BackgroundLibraryServices.h"
#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/background/BackgroundPicker.h"
#include "Tapestrel/background/BackgroundPreview.h"
#include "Tapestrel/background/BuiltInBackground.h"
#include "Tapestrel/background/ProfileBackground.h"
#include "Tapestrel/background/SharedDesktopBackground.h"
#include "Tapestrel/model/ApplyProfileCommand.h"
#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileOperationQueue.h"
#include "Tapestrel/tests/automation/RunningProgram.h"
#include "platform/Alerts.h"
#include "platform/GnomeDesktop.h"
#include "platform/ScriptHost.h"
#include "platform/UserDefaults.h"
#include "testsupport/BrokenPictures.h"
#include "testsupport/GnomeSettings.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/RunTask.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/TempHome.h"
#include "testsupport/X11Windows.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using KivDesktopBackground::Background;
using KivDesktopBackground::DesktopBackgroundController;
using KivDesktopBackground::ScreenInfo;
using KivDesktopBackground::ScreenSource;
using KivDesktopBackground::SerializableLinearGradient;
using TestSupport::runTask;
using namespace std::chrono_literals;

namespace {

class NoScreens : public ScreenSource
{
public:
    QList<ScreenInfo> screens() const override { return {}; }
};

class BackgroundOptionTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override
    {
        setSharedDesktopBackgroundController(&controller);
        Platform::ScriptHost::shared().clearHistory();
    }
    void TearDown() override { setSharedDesktopBackgroundController(nullptr); }

    Profile *profileWith(const QString &value)
    {
        auto *profile = new Profile("Test");
        profile->setParent(&owner);
        new Option(BackgroundOptionModel::optionKey(), value, profile);
        return profile;
    }

    void applyProfile(Profile *profile)
    {
        auto dock = std::make_shared<bool>(false);
        runTask(model.apply(profile->value(model.key()), profile, dock));
        EXPECT_FALSE(*dock);
    }

    void setSystemPicture(const QString &path)
    {
        Platform::UserDefaults::suite("com.apple.desktop")
            ->setValue("Background", QVariantMap {{"default", QVariantMap {{"ImageFilePath", path}}}});
    }

    QObject owner;
    DesktopBackgroundController controller {std::make_unique<NoScreens>()};
    BackgroundOptionModel model;
};

const Background gradient = Background::linearGradient(
    SerializableLinearGradient(45, {{QColor(Qt::red), {}}, {QColor(Qt::blue), 1.0}}));

} // namespace

TEST_F(BackgroundOptionTest, ApplyShowsTheProfilesBackgroundInAnyOfItsForms)
{
    applyProfile(profileWith(gradient.rawValue()));
    EXPECT_EQ(controller.background(), gradient);

    // Nothing readable keeps what is shown; a stored value that cannot be shown fails the option, saying why.
    const QString gone = home.filePath("gone.png");
    const std::pair<QString, QString> unreadable[] = {
        {QString(), ""},
        {"{}", "The stored background cannot be read."},
        {"not a background", "The stored background cannot be read."},
        {QUrl::fromLocalFile(gone).toString(), "The picture “" + gone + "” cannot be found."},
    };
    for (const auto &[value, failure] : unreadable) {
        Profile *profile = profileWith(value);
        EXPECT_FALSE(profileBackground(*profile)) << value.toStdString();
        QString message;
        try {
            applyProfile(profile);
        } catch (const OptionModelError &error) {
            message = error.message();
        }
        EXPECT_EQ(message, failure) << value.toStdString();
        EXPECT_EQ(controller.background(), gradient);
    }

    QImage(4, 4, QImage::Format_RGB32).save(home.filePath("My Picture.png"));
    const QUrl url = QUrl::fromLocalFile(home.filePath("My Picture.png"));
    Profile *older = profileWith(url.toString(QUrl::FullyEncoded));
    applyProfile(older);
    EXPECT_EQ(controller.background(), Background::image(url));
    QFile::remove(home.filePath("My Picture.png"));
    EXPECT_FALSE(profileBackground(*older));

    auto dock = std::make_shared<bool>(false);
    EXPECT_NO_THROW(runTask(model.apply(QString(), QPointer<Profile>(), dock)));
}

namespace {

// Applies the profile as a script does, noting when it answered.
QCoro::Task<ApplyResult> timedApply(QPointer<Profile> profile, std::shared_ptr<QElapsedTimer> clock,
                                    std::shared_ptr<qint64> answeredAt)
{
    ApplyProfileCommand command(profile, false, ProfileOperationQueue::Attendance::unattended);
    ApplyResult result = co_await command.executeAndWait();
    *answeredAt = clock->elapsed();
    co_return result;
}

} // namespace

// Of several applies of pictures that are slow to decode, sent one after another, each earlier one ends
// its decode at once and answers that a later apply took its place; the last shows its picture within
// its own decode time.
TEST_F(BackgroundOptionTest, ANewerApplyEndsTheDecodeOfAnOlderOne)
{
    // Each decoding process takes 3 seconds before it decodes.
    const QByteArray decoder =
        QFile::encodeName(QCoreApplication::applicationDirPath() + "/tapestrel-picture");
    home.writeFile("slow", "#!/bin/sh\n/bin/sleep 3\nexec '" + decoder + "' \"$@\"\n");
    QFile::setPermissions(home.filePath("slow"), QFile::ReadOwner | QFile::ExeOwner);
    const TestSupport::ScopedVariable tool("TAPESTREL_PICTURE_TOOL",
                                           QFile::encodeName(home.filePath("slow")));
    KivDesktopBackground::PictureDecoder::shared().endIdleProcesses();
    EngineSettings::setDidApplyAnyProfile(true);
    OptionStore registry([] {
        std::vector<std::unique_ptr<OptionModel>> models;
        models.push_back(std::make_unique<BackgroundOptionModel>());
        return models;
    });
    OptionStore::setShared(&registry);
    const auto restore = qScopeGuard([] { OptionStore::setShared(nullptr); });
    const auto pictureOf = [this](const QColor &colour) {
        const QString path = home.filePath(colour.name().mid(1) + ".png");
        QImage image(16, 9, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(path));
        return Background::image(QUrl::fromLocalFile(path));
    };
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();

    // A later apply without a background of its own leaves the earlier one's picture to be shown.
    auto kept = timedApply(profileWith(pictureOf(Qt::yellow).rawValue()), clock, std::make_shared<qint64>());
    QTest::qWait(500);
    EXPECT_TRUE(runTask(timedApply(profileWith(""), clock, std::make_shared<qint64>()), 20s).succeeded());
    EXPECT_TRUE(runTask(std::move(kept), 20s).succeeded());
    EXPECT_EQ(controller.background(), pictureOf(Qt::yellow));
    KivDesktopBackground::PictureDecoder::shared().endIdleProcesses();

    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    std::vector<std::pair<QCoro::Task<ApplyResult>, std::shared_ptr<qint64>>> applies;
    std::vector<qint64> sent;
    for (const QColor &colour : colours) {
        Profile *profile = profileWith(pictureOf(colour).rawValue());
        sent.push_back(clock->elapsed());
        auto answeredAt = std::make_shared<qint64>(-1);
        applies.emplace_back(timedApply(profile, clock, answeredAt), answeredAt);
        QTest::qWait(500);
    }
    std::vector<ApplyResult> results;
    for (auto &[apply, answeredAt] : applies)
        results.push_back(runTask(std::move(apply), 20s));
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(*applies[i].second - sent[i + 1], 1000) << "answered once the next apply was sent";
        EXPECT_TRUE(results[i].onlySuperseded());
        EXPECT_EQ(results[i].text(),
                  "Applied “Test”, but a later apply took the place of 1 of its settings:\n"
                  "  System › Background: A later apply took its place.");
    }
    EXPECT_TRUE(results[2].succeeded()) << results[2].text().toStdString();
    EXPECT_LT(*applies[2].second - sent[2], 7000) << "within its own decode time";
    EXPECT_EQ(controller.background(), pictureOf(Qt::blue));
}

TEST_F(BackgroundOptionTest, PickerSelectionReadsEveryFormAndWritesJson)
{
    EXPECT_EQ(BackgroundOptionModel::selection(QString()), Background::clear());
    EXPECT_EQ(BackgroundOptionModel::selection("not a background"), Background::clear());
    EXPECT_EQ(BackgroundOptionModel::selection(gradient.rawValue()), gradient);
    // A file URL is an image even when the file is gone, unlike the profile's background.
    const QUrl gone = QUrl::fromLocalFile(home.filePath("gone.png"));
    EXPECT_EQ(BackgroundOptionModel::selection(gone.toString()), Background::image(gone));
    // JSON never passes for a URL, so what the setter writes reads back.
    const Background image = Background::image(QUrl::fromLocalFile("/tmp/a b.png"));
    EXPECT_EQ(BackgroundOptionModel::selection(BackgroundOptionModel::valueForSelection(image)), image);
    EXPECT_EQ(BackgroundOptionModel::valueForSelection(std::nullopt), QString());

    // The picker's preview follows the option.
    const BackgroundLibraryServices saved = BackgroundLibraryServices::shared();
    BackgroundLibraryServices::shared().wallpapersFolder = [this] {
        return home.filePath("Wallpapers");
    };
    Profile *profile = profileWith(QString());
    Option *option = profile->option(model.key());
    std::unique_ptr<QWidget> picker(model.makePicker(option, profile, nullptr));
    auto *editor = dynamic_cast<BackgroundPicker *>(picker.get());
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->preview()->background(), Background::clear());
    option->setValue(gradient.rawValue());
    EXPECT_EQ(editor->preview()->background(), gradient);
    picker.reset();
    BackgroundLibraryServices::shared() = saved;

    const BuiltInBackground a(gradient), b(gradient);
    EXPECT_NE(a.id(), b.id());
}

TEST_F(BackgroundOptionTest, ReadPrefersShownBackgroundThenSystemWallpaperThenAlertsAPersonOnce)
{
    Platform::ScriptedAlertAnswerer alerts;

    controller.setBackground(gradient);
    EXPECT_EQ(runTask(model.readCurrentValue(nullptr)), gradient.rawValue());
    EXPECT_TRUE(Platform::ScriptHost::shared().history().isEmpty());

    controller.setBackground(std::nullopt);
    setSystemPicture("/Library/Desktop Pictures/../Pictures/./Sky.heic");
    EXPECT_EQ(runTask(model.readCurrentValue(nullptr)),
              QStringLiteral(R"({"type":"image","url":"file:///Library/Pictures/Sky.heic"})"));
    EXPECT_EQ(Platform::ScriptHost::shared().history(),
              QStringList {BackgroundOptionModel::systemWallpaperScript()});
    EXPECT_TRUE(alerts.alerts().isEmpty());

    // A picture the system cannot name: no alert for a script; for a person one, then silence.
    setSystemPicture(QString());
    {
        const auto turn = runTask(
            ProfileOperationQueue::shared().waitForTurn(ProfileOperationQueue::Attendance::unattended));
        EXPECT_EQ(runTask(model.readCurrentValue(nullptr)), std::nullopt);
        EXPECT_TRUE(alerts.alerts().isEmpty());
    }
    alerts.answer(0, true);
    EXPECT_EQ(runTask(model.readCurrentValue(nullptr)), std::nullopt);
    ASSERT_EQ(alerts.alerts().size(), 1);
    const Platform::Alert &alert = alerts.alerts().first();
    EXPECT_EQ(alert.suppressionTitle, "Do not show this message again");
    EXPECT_TRUE(Platform::UserDefaults::standard().boolean(BackgroundOptionModel::alertSuppressionKey()));

    EXPECT_EQ(runTask(model.readCurrentValue(nullptr)), std::nullopt);
    EXPECT_EQ(alerts.alerts().size(), 1);
}

TEST_F(BackgroundOptionTest, RefusedAutomationAlertsWithoutRemembering)
{
    Platform::ScriptedAlertAnswerer alerts;
    home.writeFile("Library/Workspace/AutomationRefused", {});
    EXPECT_EQ(runTask(BackgroundOptionModel::readSystemWallpaper()), std::nullopt);
    EXPECT_EQ(alerts.alerts().size(), 1);
    EXPECT_FALSE(Platform::UserDefaults::standard().boolean(BackgroundOptionModel::alertSuppressionKey()));
}

TEST_F(BackgroundOptionTest, WhereTheDesktopShowsBackgroundsItselfApplyingAndReadingGoThroughIt)
{
    TestSupport::GnomeSettings gnome;
    ASSERT_TRUE(gnome.isValid()) << gnome.error().toStdString();
    const auto desktopOver = [&gnome](bool readOnly) {
        return std::make_shared<Platform::GnomeDesktop>(
            Platform::GnomeDesktop::Store {gnome.schemaFolder(), gnome.keyfile(), readOnly});
    };
    auto desktop = desktopOver(false);
    const QString folder =
        home.filePath("Library/Application Support/com.quorvane.Tapestrel/desktop-pictures");
    DesktopBackgroundController handingOver(
        std::make_unique<NoScreens>(),
        std::make_unique<KivDesktopBackground::DesktopWallpaper>(desktop, folder));
    setSharedDesktopBackgroundController(&handingOver);

    applyProfile(profileWith(gradient.rawValue()));
    const QString uri = gnome.value("org/gnome/desktop/background", "picture-uri").value_or(QString());
    EXPECT_TRUE(uri.contains("/desktop-pictures/background-")) << uri.toStdString();
    EXPECT_TRUE(handingOver.isShownByDesktop());
    EXPECT_EQ(runTask(model.readCurrentValue(nullptr)), gradient.rawValue());

    desktop->setColor(QColor("#204060"));
    EXPECT_EQ(runTask(model.readCurrentValue(nullptr)), Background::color(QColor("#204060")).rawValue());
    EXPECT_TRUE(Platform::ScriptHost::shared().history().isEmpty()) << "no system script was needed";

    // A desktop that refuses: the option is reported, and the desktop keeps what it shows.
    DesktopBackgroundController refused(
        std::make_unique<NoScreens>(),
        std::make_unique<KivDesktopBackground::DesktopWallpaper>(desktopOver(true), folder));
    setSharedDesktopBackgroundController(&refused);
    try {
        applyProfile(profileWith(gradient.rawValue()));
        ADD_FAILURE() << "reported as shown by the desktop";
    } catch (const OptionModelError &error) {
        EXPECT_EQ(error.key(), BackgroundOptionModel::optionKey());
        EXPECT_TRUE(error.message().contains("locked")) << error.message().toStdString();
    }
    EXPECT_FALSE(refused.hasVisibleBackground());
    EXPECT_EQ(runTask(model.readCurrentValue(nullptr)),
              Background::image(QUrl("file:///usr/share/backgrounds/default.png")).rawValue());

    // The editor's "Apply Background" tells why the desktop refused; what it took needs no word.
    Platform::ScriptedAlertAnswerer alerts;
    const Background colour = Background::color(QColor("#336699"));
    ApplyBackgroundButton applyColour(colour, nullptr);
    applyColour.trigger();
    ASSERT_TRUE(TestSupport::waitUntil([&alerts] { return !alerts.alerts().isEmpty(); }));
    const Platform::Alert alert = alerts.alerts().constFirst();
    EXPECT_EQ(alert.message, "“System › Background” could not be changed.");
    EXPECT_TRUE(alert.informativeText.contains("locked")) << alert.informativeText.toStdString();
    EXPECT_FALSE(refused.hasVisibleBackground());

    setSharedDesktopBackgroundController(&handingOver);
    runTask(applyColour.apply());
    EXPECT_FALSE(TestSupport::waitUntil([&alerts] { return alerts.alerts().size() > 1; }, 100ms));
    EXPECT_EQ(gnome.value("org/gnome/desktop/background", "primary-color"), "'#336699'");
}

namespace {

// The real program over profiles of pictures that cannot be shown and some that can; on X11 the
// drawn picture is looked at.
class X11PictureProgramTest : public AutomationTests::RunningProgramTest
{
protected:
    // It runs once, where the drawn colours can be looked at too.
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs the xcb platform";
        RunningProgramTest::SetUp();
    }

    void prepareHome() override
    {
        // Freed memory that the sanitizer holds back to catch late uses would count as the program's.
        const QString sanitizer = environment.value("ASAN_OPTIONS");
        environment.insert("ASAN_OPTIONS", sanitizer + ":quarantine_size_mb=0");
        namespace Hostile = TestSupport::HostileFiles;
        namespace Broken = TestSupport::BrokenPictures;
        ASSERT_TRUE(Hostile::makePipe(home.filePath("elsewhere/pipe.png")));
        home.writeFile("elsewhere/notes.png", "not a picture");
        // A header that promises 900 million pixels.
        home.writeFile("elsewhere/huge.ppm", "P6\n30000 30000\n255\n");
        // 65,536 × 65,537 pixels: a count that 32 bits hold only as 65,536.
        home.writeFile("elsewhere/vast.png",
                       QByteArray::fromHex("89504e470d0a1a0a0000000d4948445200010000000100010802000000"
                                           "28ba7411000000004944415435af061e0000000049454e44ae426082"));
        ASSERT_TRUE(Hostile::makeSparseFile(home.filePath("elsewhere/sparse.png"),
                                            KivDesktopBackground::PictureProtocol::maxBytes + 1));
        home.writeFile("elsewhere/cut.png", Broken::cutPng(60));
        home.writeFile("elsewhere/corrupt.png", Broken::corruptPng());
        home.writeFile("elsewhere/claims.png", Broken::pngClaiming(QSize(640, 360)));
        home.writeFile("elsewhere/claims.bmp", Broken::bmpClaiming(QSize(16000, 16000)));
        home.writeFile("elsewhere/plain.png", Broken::picture(QSize(8, 8), plain));
        // A camera's photo: its pixels take more than Qt decodes by default (128 MiB).
        ASSERT_TRUE(Broken::writeTiff(home.filePath("elsewhere/camera.tiff"), QSize(7360, 4912), camera));
        // A picture only its owner may read, which an SVG elsewhere names; and one that names a pipe.
        home.writeFile("elsewhere/private.png", Broken::picture(QSize(16, 9), Qt::red));
        QFile::setPermissions(home.filePath("elsewhere/private.png"), QFile::ReadOwner | QFile::WriteOwner);
        home.writeFile("elsewhere/names-private.svg",
                       Broken::svgWithImage(QSize(16, 9), vector, home.filePath("elsewhere/private.png")));
        home.writeFile("elsewhere/names-pipe.svg",
                       Broken::svgWithImage(QSize(16, 9), piped, home.filePath("elsewhere/pipe.png")));
        for (const auto &[name, named] : {std::pair {"holds-private.svg", "elsewhere/private.png"},
                                          std::pair {"holds-pipe.svg", "elsewhere/pipe.png"}}) {
            const QByteArray inner = Broken::svgWithImage(QSize(16, 9), held, home.filePath(named));
            home.writeFile(QStringLiteral("elsewhere/") + name,
                           Broken::svgWithImage(QSize(16, 9), vector, Broken::svgData(inner)));
        }
        home.writeFile("elsewhere/hash-path.svg", Broken::svgWithImage(QSize(16, 9), vector, "#/a/path"));
        home.writeFile("elsewhere/linked.svg",
                       Broken::svgWithLink(QSize(16, 9), linked, "https://example.com/"));
        home.writeFile("elsewhere/cut.jpg", Broken::cutJpeg());
        home.writeFile("elsewhere/corrupt.jpg", Broken::corruptJpeg());
        home.writeFile("elsewhere/plain.jpg", Broken::picture(QSize(64, 36), photo, "jpeg"));
        home.writeFile("elsewhere/plain.webp", Broken::picture(QSize(64, 36), web, "webp"));
        home.writeFile("elsewhere/cut.bmp", Broken::picture(QSize(64, 36), plain, "bmp").chopped(3));
        home.writeFile("elsewhere/texts.png", Broken::pngWithTexts(100));
        home.writeFile("elsewhere/groups.svgz", Broken::svgzOf(6000000, "g"));
        ModelContainer store(KivUtilities::DataPath::path() + "/data.sqlite");
        for (const auto &[name, path, reason, drawn] : cases) {
            store.mainContext()
                ->insert(std::make_unique<Profile>(name))
                ->findOrCreateOption(BackgroundOptionModel::optionKey())
                ->setValue(Background::image(QUrl::fromLocalFile(path)).rawValue());
        }
        store.mainContext()->save();
    }

    // The colour near a corner of the program's desktop window, which its main window leaves uncovered.
    std::optional<QRgb> drawnColour() const
    {
        for (const TestSupport::X11::Window window : TestSupport::X11::windowsOf(running.processId())) {
            const QImage picture = TestSupport::X11::settled(window);
            if (!picture.isNull()
                && TestSupport::X11::geometry(window).size() == QGuiApplication::primaryScreen()->size())
                return picture.pixel(8, 8);
        }
        return std::nullopt;
    }

    const QColor plain {20, 120, 140};
    const QColor camera {200, 150, 40};
    const QColor vector {40, 60, 200};
    const QColor piped {230, 220, 30};
    const QColor held {60, 200, 60};
    const QColor linked {200, 40, 160};
    const QColor photo {240, 240, 240};
    const QColor web {250, 130, 10};
    struct Case
    {
        QString name;
        QString path;
        QString reason; // empty: the picture is shown
        QColor drawn = {}; // what shows then
    };
    const QList<Case> cases {
        {"Plain", home.filePath("elsewhere/plain.png"), {}, plain},
        {"Pipe", home.filePath("elsewhere/pipe.png"), "it is not a regular file"},
        {"Device", "/dev/zero", "it is not a regular file"},
        {"Memory", "/proc/self/mem", "it is not a picture the program can read"},
        {"Text", home.filePath("elsewhere/notes.png"), "it is not a picture the program can read"},
        {"Huge", home.filePath("elsewhere/huge.ppm"), "it is too large to be shown (30000 × 30000 pixels)"},
        {"Vast", home.filePath("elsewhere/vast.png"), "it is too large to be shown (65536 × 65537 pixels)"},
        {"Sparse", home.filePath("elsewhere/sparse.png"), "the file is too large (268435457 bytes)"},
        {"Cut", home.filePath("elsewhere/cut.png"), "its data is damaged or incomplete"},
        {"Corrupt", home.filePath("elsewhere/corrupt.png"), "its data is damaged or incomplete"},
        {"Claims", home.filePath("elsewhere/claims.png"), "its data is damaged or incomplete"},
        {"Bitmap", home.filePath("elsewhere/claims.bmp"),
         "it is incomplete: its header promises 768000054 bytes, the file holds 64"},
        {"Camera", home.filePath("elsewhere/camera.tiff"), {}, camera},
        {"Names Private", home.filePath("elsewhere/names-private.svg"), {}, vector},
        {"Names Pipe", home.filePath("elsewhere/names-pipe.svg"), {}, piped},
        {"Holds Private", home.filePath("elsewhere/holds-private.svg"), {}, held},
        {"Holds Pipe", home.filePath("elsewhere/holds-pipe.svg"), {}, held},
        {"Hash Path", home.filePath("elsewhere/hash-path.svg"), {}, vector},
        {"Linked", home.filePath("elsewhere/linked.svg"), {}, linked},
        {"Cut Photo", home.filePath("elsewhere/cut.jpg"), "its data is damaged or incomplete"},
        {"Corrupt Photo", home.filePath("elsewhere/corrupt.jpg"), "its data is damaged or incomplete"},
        {"Cut Bitmap", home.filePath("elsewhere/cut.bmp"),
         "it is incomplete: its header promises 6966 bytes, the file holds 6963"},
        {"Texts", home.filePath("elsewhere/texts.png"), "decoding it needs more than 1 GiB of memory"},
        {"Groups", home.filePath("elsewhere/groups.svgz"), "decoding it needs more than 1 GiB of memory"},
        {"Photo", home.filePath("elsewhere/plain.jpg"), {}, photo},
        {"Web", home.filePath("elsewhere/plain.webp"), {}, web},
        {"Plain Again", home.filePath("elsewhere/plain.png"), {}, plain},
    };
};

} // namespace

TEST_F(X11PictureProgramTest, EachApplyNamesTheBackgroundOrDrawsItsPictureAndNoneHoldsTheProgram)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    std::optional<QColor> shown;
    for (const auto &[name, path, reason, drawn] : cases) {
        SCOPED_TRACE(name.toStdString());
        QElapsedTimer clock;
        clock.start();
        const TestSupport::ProcessRun applied = tapestrel({"apply", name});
        EXPECT_LT(clock.elapsed(), 20000);
        if (reason.isEmpty()) {
            EXPECT_EQ(applied.exitCode, 0) << applied.err.toStdString();
            shown = drawn;
        } else {
            EXPECT_EQ(applied.exitCode, 1);
            EXPECT_TRUE(applied.err.contains("  System › Background: The picture “" + path
                                             + "” cannot be shown: " + reason + "."))
                << applied.err.toStdString();
        }
        if (shown) {
            const std::optional<QRgb> colour = drawnColour();
            ASSERT_TRUE(colour);
            EXPECT_NEAR(qRed(*colour), shown->red(), 2);
            EXPECT_NEAR(qGreen(*colour), shown->green(), 2);
            EXPECT_NEAR(qBlue(*colour), shown->blue(), 2);
        }
    }
    // The pictures were decoded elsewhere: what took a gigabyte there never came near the program.
    QFile status(QStringLiteral("/proc/%1/status").arg(running.processId()));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch peak =
        QRegularExpression("VmHWM:\\s*(\\d+) kB").match(QString::fromLatin1(status.readAll()));
    ASSERT_TRUE(peak.hasMatch());
    EXPECT_LT(peak.captured(1).toLongLong(), 300 * 1024) << "kB";
}

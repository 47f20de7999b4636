#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

#include "KivDesktopBackground/Background.h"
#include "platform/XfceDesktop.h"
#include "testsupport/GnomeSettings.h"
#include "testsupport/PrivateSessionBus.h"
#include "testsupport/RunProcess.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/StandInTools.h"
#include "testsupport/XfceSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QScreen>
#include <QTemporaryDir>
#include <QUrl>

#include <xcb/xcb.h>

#include <algorithm>

#include <gtest/gtest.h>

using KivDesktopBackground::Background;
using KivDesktopBackground::SerializableLinearGradient;
using Platform::XfceDesktop;
using namespace std::chrono_literals;

namespace {

// The real program outside an emulated home, in a GNOME session whose settings are the test's own
// (GSettings' keyfile backend over the tests' schemas), with a home and XDG folders of its own.
class RealDesktopProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(gnome.isValid()) << gnome.error().toStdString();
        program = QDir(QCoreApplication::applicationDirPath()).filePath("tapestrel");
        ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
        if (!bus.isRunning())
            GTEST_SKIP() << "no dbus-daemon";
        bus.killOwnersAtEnd({AutomationService::serviceName});

        environment.remove("TAPESTREL_HOME");
        environment.remove("TEST");
        environment.insert("HOME", home.path());
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CACHE_HOME", home.filePath("cache"));
        environment.insert("XDG_STATE_HOME", home.filePath("state"));
        environment.insert("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        gnome.addTo(environment);

        // A dark profile with a gradient, in the store the program will open.
        ASSERT_TRUE(QDir().mkpath(data));
        addProfile("Gradient Night", gradient, "dark");
    }

    void addProfile(const QString &name, const Background &background, const QString &appearance = {}) const
    {
        ModelContainer store(data + QStringLiteral("/data.sqlite"));
        Profile *profile = store.mainContext()->insert(std::make_unique<Profile>(name));
        if (!appearance.isEmpty())
            profile->findOrCreateOption("system.ui.appearance")->setValue(appearance);
        profile->findOrCreateOption("system.desktop.background.picture")->setValue(background.rawValue());
        store.mainContext()->save();
    }

    TestSupport::ProcessRun tapestrel(const QStringList &arguments) const
    {
        return TestSupport::runProcess(program, arguments, environment);
    }

    qint64 programPid() const { return bus.ownerPid(AutomationService::serviceName); }

    const Background gradient = Background::linearGradient(
        SerializableLinearGradient(135, {{QColor(20, 24, 60), {}}, {QColor(120, 40, 90), {}}}));
    QTemporaryDir home;
    const QString data =
        home.filePath("data/tapestrel/home/Library/Application Support/com.quorvane.Tapestrel");
    TestSupport::GnomeSettings gnome;
    TestSupport::PrivateSessionBus bus;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString program;
};

// The picture file the desktop's settings name, and its size.
std::pair<QString, QSize> desktopPicture(const TestSupport::GnomeSettings &gnome)
{
    const QString uri =
        gnome.value("org/gnome/desktop/background", "picture-uri").value_or(QString()).remove(u'\'');
    const QString file = QUrl(uri).toLocalFile();
    return {file, QImageReader(file).size()};
}

// This process's connection to the X display. A connection of its own, made and ended at each
// look, would end just as the program connects or the test's next process starts, which the tests'
// X server now and then answers by dropping the new connection.
xcb_connection_t *display()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The size of the X display's first screen.
QSize screenPixels()
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(display())).data;
    return QSize(screen->width_in_pixels, screen->height_in_pixels);
}

// How many desktop-level windows (_NET_WM_WINDOW_TYPE_DESKTOP) the process has on the X display.
int desktopWindowsOf(qint64 pid)
{
    xcb_connection_t *connection = display();
    if (!connection || xcb_connection_has_error(connection)) {
        ADD_FAILURE() << "no X display";
        return -1;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const auto atom = [connection](const char *name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return value;
    };
    const auto cardinals = [connection](xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
        QList<uint32_t> values;
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, property, type, 0, 32), nullptr);
        if (reply && reply->format == 32) {
            const auto *data = static_cast<const uint32_t *>(xcb_get_property_value(reply));
            for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i)
                values.append(data[i]);
        }
        free(reply);
        return values;
    };
    const xcb_atom_t pidAtom = atom("_NET_WM_PID");
    const xcb_atom_t typeAtom = atom("_NET_WM_WINDOW_TYPE");
    const xcb_atom_t desktopType = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    int desktopWindows = 0;
    if (xcb_query_tree_reply_t *tree =
            xcb_query_tree_reply(connection, xcb_query_tree(connection, screen->root), nullptr)) {
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            if (cardinals(children[i], pidAtom, XCB_ATOM_CARDINAL).value(0) == uint32_t(pid)
                && cardinals(children[i], typeAtom, XCB_ATOM_ATOM).contains(desktopType))
                ++desktopWindows;
        }
        free(tree);
    }
    return desktopWindows;
}

using X11RealDesktopProgramTest = RealDesktopProgramTest;

bool near(QRgb a, QRgb b, int tolerance = 6)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

TEST_F(RealDesktopProgramTest, ApplyingADarkGradientProfileChangesTheDesktopsOwnSettings)
{
    const TestSupport::ProcessRun applied = tapestrel({"apply", "Gradient Night"});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();

    const QString interface = "org/gnome/desktop/interface";
    EXPECT_EQ(gnome.value(interface, "color-scheme"), "'prefer-dark'");
    const auto [file, size] = desktopPicture(gnome);
    EXPECT_TRUE(file.endsWith(".png")) << file.toStdString();
    EXPECT_TRUE(file.startsWith(home.path())) << "rendered into the program's data folder";
    // The child draws on the same platform as this test: offscreen, with the same screen.
    if (environment.value("QT_QPA_PLATFORM") == QLatin1String("offscreen")) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        EXPECT_EQ(size, screen->size() * screen->devicePixelRatio());
    }
    EXPECT_EQ(gnome.value("org/gnome/desktop/background", "picture-uri-dark"),
              gnome.value("org/gnome/desktop/background", "picture-uri"));
}

// GNOME as Debian 12 ships it (43, without accent colours), over GSettings' own keyfile, and a day of
// ordinary use: a picture that is gone, a shipped profile, a gradient (a picture of the screen's size)
// and a WebP picture set by the desktop while the program runs. The program stays up and never covers
// the desktop.
TEST_F(X11RealDesktopProgramTest, OnGnome43TheProgramStaysUpDrawsNoDesktopWindowAndBringsWebpPicturesBack)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs the xcb platform";
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("GSETTINGS_SCHEMA_DIR");
    const auto desktopShows = [this](const QString &file) {
        return gnome.seed(
            QStringLiteral("[org/gnome/desktop/background]\npicture-uri='%1'\npicture-uri-dark='%1'\n")
                .arg(QUrl::fromLocalFile(file).toString()));
    };

    ASSERT_TRUE(desktopShows(home.filePath("gone.jpg")));
    ASSERT_EQ(tapestrel({"create", "Gone"}).exitCode, 0);
    const qint64 pid = programPid();
    ASSERT_NE(pid, 0);
    tapestrel({"apply", "Gone"}); // the desktop cannot show it
    const TestSupport::ProcessRun shipped = tapestrel({"apply", "Daybreak"});
    EXPECT_EQ(shipped.exitCode, 0) << shipped.err.toStdString();
    EXPECT_EQ(programPid(), pid) << "the program still runs";
    EXPECT_EQ(desktopWindowsOf(pid), 0);
    ASSERT_EQ(tapestrel({"apply", "Gradient Night"}).exitCode, 0);
    EXPECT_EQ(desktopPicture(gnome).second, screenPixels());

    const QString webp = home.filePath("adwaita-l.webp");
    QImage picture(64, 36, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 160));
    ASSERT_TRUE(picture.save(webp, "WEBP")) << "Qt's image-formats plugins";
    ASSERT_TRUE(desktopShows(webp));
    ASSERT_EQ(tapestrel({"create", "Adwaita"}).exitCode, 0);
    ASSERT_EQ(tapestrel({"apply", "Daybreak"}).exitCode, 0);
    EXPECT_NE(desktopPicture(gnome).first, webp);
    const TestSupport::ProcessRun back = tapestrel({"apply", "Adwaita"});
    EXPECT_EQ(back.exitCode, 0) << back.err.toStdString();
    EXPECT_EQ(desktopPicture(gnome).first, webp);
    EXPECT_EQ(programPid(), pid);
    EXPECT_EQ(desktopWindowsOf(pid), 0);
}

TEST_F(X11RealDesktopProgramTest, OnKdeAWallpaperToolThatFailsLeavesTheDesktopUncovered)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs the xcb platform";
    TestSupport::StandInTools tools;
    ASSERT_TRUE(tools.add("plasma-apply-colorscheme"));
    ASSERT_TRUE(tools.add("plasma-apply-wallpaperimage", 1, "echo 'No Plasma shell'"));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("XDG_CURRENT_DESKTOP", "KDE");
    environment.insert("PATH", tools.folder() + u':' + environment.value("PATH"));

    ASSERT_EQ(tapestrel({"create", "Captured"}).exitCode, 0);
    const qint64 pid = programPid();
    ASSERT_NE(pid, 0);
    for (const char *profile : {"Captured", "Daybreak", "Gradient Night"}) {
        SCOPED_TRACE(profile);
        const TestSupport::ProcessRun applied = tapestrel({"apply", QString::fromUtf8(profile)});
        EXPECT_NE(applied.exitCode, 0);
        EXPECT_TRUE(applied.err.contains("No Plasma shell")) << applied.err.toStdString();
        EXPECT_EQ(programPid(), pid);
        EXPECT_EQ(desktopWindowsOf(pid), 0);
    }
    EXPECT_EQ(tools.calls("plasma-apply-wallpaperimage").size(), 3);
}

// Xfce with xfwm4 and xfdesktop in a fresh home: each background goes to xfdesktop's backdrops, for
// every monitor and workspace it lists, and shows beneath its icons; the next replaces it.
TEST_F(X11RealDesktopProgramTest, OnXfceEachBackgroundShowsBeneathXfdesktopsIconsAndReplacesTheLast)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs the xcb platform";
    const QString photo = home.filePath("Lake.jpg");
    QImage lake(640, 400, QImage::Format_RGB32);
    lake.fill(QColor(30, 110, 200));
    ASSERT_TRUE(lake.save(photo, "JPG"));
    addProfile("Photo", Background::image(QUrl::fromLocalFile(photo)));
    addProfile("Plain", Background::color(QColor(204, 51, 102)));
    TestSupport::XfceSession xfce(environment);
    ASSERT_TRUE(xfce.start()) << xfce.error().toStdString();
    environment = xfce.environment();
    environment.insert("XDG_CURRENT_DESKTOP", "XFCE");
    environment.insert("QT_QPA_PLATFORM", "xcb");
    const QString pictures = data + "/desktop-pictures/";

    QString shownBefore;
    for (const QString profile : {"Photo", "Plain", "Gradient Night"}) {
        SCOPED_TRACE(profile.toStdString());
        const TestSupport::ProcessRun applied = tapestrel({"apply", profile});
        ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
        QStringList shown;
        for (const auto &backdrop : XfceDesktop::backdrops(xfce.desktopSettings({"-l", "-v"}).toUtf8()))
            shown.append(backdrop.lastImage.value_or("none"));
        ASSERT_FALSE(shown.isEmpty());
        const QString file = shown[0];
        EXPECT_EQ(shown, QStringList(shown.size(), file));
        // A photo by its own file, the others as pictures in the data folder; one no longer shown goes.
        EXPECT_TRUE(profile == "Photo" ? file == photo : file.startsWith(pictures)) << file.toStdString();
        EXPECT_NE(file, shownBefore);
        EXPECT_FALSE(shownBefore.startsWith(pictures) && QFileInfo::exists(shownBefore));
        shownBefore = file;

        // The picture covers the screen, zoomed: at the corners and above the middle, away from the
        // icons and the program's notice of the apply.
        const QSize size = xfce.screen().size();
        const QImage picture =
            QImage(file).scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        const QPoint offset((picture.width() - size.width()) / 2, (picture.height() - size.height()) / 2);
        const QPoint points[] = {{size.width() - 8, 8},
                                 {size.width() * 3 / 4, size.height() / 3},
                                 {8, size.height() - 8},
                                 {size.width() - 8, size.height() - 8}};
        const auto pictureShows = [&] {
            const QImage screen = xfce.screen();
            return std::ranges::all_of(
                points, [&](QPoint at) { return near(screen.pixel(at), picture.pixel(at + offset), 12); });
        };
        EXPECT_TRUE(TestSupport::waitUntil(pictureShows, 20s));
        const QImage screen = xfce.screen();
        TestSupport::saveScreenshot(screen, "xfce/" + profile);
        // Nothing but the icons makes colours of their own there, but a gradient.
        EXPECT_TRUE(profile == "Gradient Night" || TestSupport::XfceSession::iconColours(screen) > 50)
            << "xfdesktop's icons show";
    }
}

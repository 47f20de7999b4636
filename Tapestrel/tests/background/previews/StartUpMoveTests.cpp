#include "Tapestrel/Tapestrel.h"

#include "KivDesktopBackground/Background.h"
#include "KivDesktopBackground/BackgroundWindow.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "platform/CloudDrive.h"
#include "platform/GnomeDesktop.h"
#include "platform/UserDefaults.h"
#include "testsupport/GnomeSettings.h"
#include "testsupport/RunTask.h"
#include "testsupport/SelectedDesktop.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

using MainControllerBackgrounds = TestSupport::TempHomeTest;

TEST_F(MainControllerBackgrounds, StartUpMovesTheImagesOnceTheDriveIsThere)
{
    qunsetenv(Platform::CloudDrive::environmentVariable);
    Platform::CloudDrive::setEnabled(true);
    {
        Tapestrel controller;
        const QString local = controller.paths().path(Tapestrel::Path::backgrounds);
        const QString cloud =
            home.filePath("Library/Mobile Documents/iCloud~com~quorvane~Tapestrel/Wallpapers");
        EXPECT_EQ(controller.backgroundsCoordinator().wallpapersFolderPath(), cloud);

        // Laid down before the start-up task runs, as an older version left them.
        home.writeFile(QDir(home.path()).relativeFilePath(local + "/old.png"), "old");
        auto *background =
            controller.modelContainer().mainContext()->insert(std::make_unique<CustomBackground>(
                CustomBackground::Kind::Image,
                KivDesktopBackground::Background::image(QUrl::fromLocalFile(local + "/old.png")).rawValue()));
        controller.modelContainer().mainContext()->save();

        EXPECT_TRUE(TestSupport::waitUntil([&] {
            return Platform::UserDefaults::standard().boolean("didMigrateBackgroundsToICloudDrive");
        }));
        EXPECT_TRUE(QFileInfo::exists(cloud + "/old.png"));
        EXPECT_FALSE(QFileInfo::exists(local + "/old.png"));
        EXPECT_EQ(
            background->backgroundValue(),
            KivDesktopBackground::Background::image(QUrl::fromLocalFile(cloud + "/old.png")).rawValue());
    }
}

// A start shows the background shown last, unless the desktop keeps its wallpaper itself: what the
// desktop shows is not kept either.
TEST_F(MainControllerBackgrounds, AStartShowsTheLastBackgroundWhereNothingElseKeepsIt)
{
    using KivDesktopBackground::Background;
    TestSupport::GnomeSettings gnome;
    ASSERT_TRUE(gnome.isValid()) << gnome.error().toStdString();
    const auto gnomeDesktop = std::make_shared<Platform::GnomeDesktop>(
        Platform::GnomeDesktop::Store {gnome.schemaFolder(), gnome.keyfile()});
    const Background applied = Background::color(QColor("#336699"));
    for (const bool onGnome : {false, true}) {
        SCOPED_TRACE(onGnome ? "GNOME" : "drawn by the program");
        std::optional<TestSupport::SelectedDesktop> selected;
        if (onGnome)
            selected.emplace(gnomeDesktop);
        {
            Tapestrel earlier;
            const Background background = onGnome ? Background::color(QColor("#993366")) : applied;
            EXPECT_EQ(TestSupport::runTask(earlier.desktopBackgroundController().setBackground(background)),
                      KivDesktopBackground::DesktopBackgroundController::Outcome {});
        }
        // Only what the program's own windows showed is kept for the next start.
        EXPECT_EQ(Platform::UserDefaults::standard().string("lastShownBackground"), applied.rawValue());
        Tapestrel started;
        const KivDesktopBackground::DesktopBackgroundController &shown =
            started.desktopBackgroundController();
        EXPECT_EQ(shown.background(), onGnome ? std::nullopt : std::optional(applied));
        EXPECT_EQ(shown.windowsByScreenKey().empty(), onGnome);
        for (const auto &[screen, window] : shown.windowsByScreenKey())
            EXPECT_TRUE(TestSupport::waitUntil([&window] { return window->isVisible(); }))
                << screen.toStdString();
    }
}

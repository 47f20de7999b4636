#include "Tapestrel/Tapestrel.h"

#include "KivDesktopBackground/Background.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "platform/CloudDrive.h"
#include "platform/UserDefaults.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

class MainControllerBackgrounds : public TestSupport::TempHomeTest
{
};

TEST_F(MainControllerBackgrounds, StartUpMovesTheImagesOnceTheDriveIsThere)
{
    qunsetenv(Platform::CloudDrive::environmentVariable);
    Platform::CloudDrive::setEnabled(true);
    {
        Tapestrel controller;
        const QString local = controller.paths().path(Tapestrel::Path::backgrounds);
        const QString cloud =
            home.filePath("Library/Mobile Documents/iCloud~com~quorvane~Tapestrel/Wallpapers");
        EXPECT_EQ(controller.backgroundsCoordinator().localFolderPath(), local);
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
        EXPECT_TRUE(Platform::UserDefaults::standard().boolean("didMigrateBackgroundsToICloudDrive"));
    }
}

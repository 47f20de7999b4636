#include "platform/CloudDrive.h"

#include "platform/UserDefaults.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Platform;

namespace {

using TestSupport::ScopedVariable;

using CloudDriveTest = TestSupport::TempHomeTest;

} // namespace

TEST_F(CloudDriveTest, PresentOnlyWhileEnabledByTheSettingOrTheVariable)
{
    const ScopedVariable unset(CloudDrive::environmentVariable, QByteArray());
    const QString container = home.filePath("Library/Mobile Documents/iCloud~com~quorvane~Tapestrel");

    // A drive folder left by other services does not make the drive present.
    QDir().mkpath(home.filePath("Library/Mobile Documents/KeyValueStore"));
    EXPECT_FALSE(CloudDrive::isEnabled());
    EXPECT_EQ(CloudDrive::containerPath(), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(container));

    ASSERT_TRUE(CloudDrive::setEnabled(true));
    EXPECT_EQ(UserDefaults::global().persistentValue("CloudDriveEnabled"), QVariant(true));
    EXPECT_TRUE(CloudDrive::isEnabled());
    EXPECT_EQ(CloudDrive::containerPath(), container);
    EXPECT_TRUE(QFileInfo(container).isDir());

    for (const char *off : {"0", "false", "", "off", "maybe"}) {
        const ScopedVariable variable(CloudDrive::environmentVariable, off);
        EXPECT_FALSE(CloudDrive::isEnabled()) << off;
        EXPECT_EQ(CloudDrive::containerPath(), std::nullopt) << off;
    }
    CloudDrive::setEnabled(false);
    for (const char *on : {"1", "true", "YES", " on "}) {
        const ScopedVariable variable(CloudDrive::environmentVariable, on);
        EXPECT_TRUE(CloudDrive::isEnabled()) << on;
    }
    EXPECT_FALSE(CloudDrive::isEnabled());
}

TEST_F(CloudDriveTest, ContainersOfOtherProgramsAndUnsafeIdentifiers)
{
    const ScopedVariable variable(CloudDrive::environmentVariable, "1");
    EXPECT_EQ(CloudDrive::drivePath(), home.filePath("Library/Mobile Documents"));
    EXPECT_EQ(CloudDrive::containerName("co.noteplan.NotePlan3"), "iCloud~co~noteplan~NotePlan3");
    EXPECT_EQ(CloudDrive::containerPath("co.noteplan.NotePlan3"),
              home.filePath("Library/Mobile Documents/iCloud~co~noteplan~NotePlan3"));
    for (const char *bad : {"", "..", "a/../../b"})
        EXPECT_EQ(CloudDrive::containerPath(bad), std::nullopt) << bad;

    // A file where the container belongs: no container rather than a path that is not a folder.
    home.writeFile("Library/Mobile Documents/iCloud~org~example~Blocked", "x");
    EXPECT_EQ(CloudDrive::containerPath("org.example.Blocked"), std::nullopt);
}

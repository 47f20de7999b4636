#include "platform/CloudDrive.h"

#include "platform/UserDefaults.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Platform;

namespace {

// Sets or clears $TAPESTREL_CLOUD_DRIVE for one test and puts the old state back.
class DriveVariable
{
public:
    explicit DriveVariable(const char *value)
        : m_had(qEnvironmentVariableIsSet(CloudDrive::environmentVariable))
        , m_old(qgetenv(CloudDrive::environmentVariable))
    {
        set(value);
    }
    ~DriveVariable()
    {
        if (m_had)
            qputenv(CloudDrive::environmentVariable, m_old);
        else
            qunsetenv(CloudDrive::environmentVariable);
    }
    void set(const char *value)
    {
        if (value)
            qputenv(CloudDrive::environmentVariable, value);
        else
            qunsetenv(CloudDrive::environmentVariable);
    }

private:
    bool m_had;
    QByteArray m_old;
};

class CloudDriveTest : public TestSupport::TempHomeTest
{
};

} // namespace

TEST_F(CloudDriveTest, PresentOnlyWhileEnabledByTheSettingOrTheVariable)
{
    DriveVariable variable(nullptr);
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

    // The variable overrides the setting both ways.
    for (const char *off : {"0", "false", "", "off", "maybe"}) {
        variable.set(off);
        EXPECT_FALSE(CloudDrive::isEnabled()) << off;
        EXPECT_EQ(CloudDrive::containerPath(), std::nullopt) << off;
    }
    CloudDrive::setEnabled(false);
    for (const char *on : {"1", "true", "YES", " on "}) {
        variable.set(on);
        EXPECT_TRUE(CloudDrive::isEnabled()) << on;
    }
    variable.set(nullptr);
    EXPECT_FALSE(CloudDrive::isEnabled());
}

TEST_F(CloudDriveTest, ContainersOfOtherProgramsAndUnsafeIdentifiers)
{
    DriveVariable variable("1");
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

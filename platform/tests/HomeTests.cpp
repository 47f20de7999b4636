#include "platform/Home.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/TempHome.h"

using Platform::Home;
using TestSupport::TempHomeTest;

using HomeTest = TempHomeTest;

TEST_F(HomeTest, ResolvesTildeAndSystemFoldersBelowTheEmulatedHome)
{
    EXPECT_EQ(Home::root(), home.path());
    EXPECT_EQ(Home::resolve("~"), home.path());
    EXPECT_EQ(Home::resolve("~/Library/Preferences/x.plist"), home.path() + "/Library/Preferences/x.plist");
    EXPECT_EQ(Home::resolve("/Applications/Alfred 5.app/Contents/Info.plist"),
              home.path() + "/Applications/Alfred 5.app/Contents/Info.plist");
    EXPECT_EQ(Home::resolve("/tmp/elsewhere"), "/tmp/elsewhere");
    EXPECT_EQ(Home::resolve("relative/path"), "relative/path");
    EXPECT_EQ(Home::preferencesFolder(), home.path() + "/Library/Preferences");
    EXPECT_EQ(Home::applicationSupportFolder(), home.path() + "/Library/Application Support");
}

TEST(HomeWithoutVariable, FallsBackToTheXdgDataFolder)
{
    const TestSupport::ScopedVariable noHome("TAPESTREL_HOME", QByteArray());
    const TestSupport::ScopedVariable data("XDG_DATA_HOME", "/nonexistent/data");
    EXPECT_EQ(Home::root(), "/nonexistent/data/tapestrel/home");
}

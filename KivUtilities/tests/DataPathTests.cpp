#include "KivUtilities/DataPath.h"
#include "KivUtilities/ObjectReferenceStore.h"
#include "KivUtilities/PathController.h"
#include "KivUtilities/TextRange.h"
#include "KivUtilities/TimeInterval.h"
#include "testsupport/TempHome.h"

#include <QFileInfo>

#include <limits>
#include <memory>

using namespace KivUtilities;
using TestSupport::TempHome;
using TestSupport::TempHomeTest;

namespace {

enum class StorePath { backups, data, backgrounds };

QString toRawValue(StorePath path)
{
    return QStringList {"backups", "data.sqlite", "backgrounds"}.at(int(path));
}

using DataPathTest = TempHomeTest;

} // namespace

TEST_F(DataPathTest, TestModeUsesAndCreatesOnlyTheSuffixedFolder)
{
    qputenv("TEST", ""); // set, even though empty
    const QString support = home.filePath("Library/Application Support/");
    EXPECT_EQ(DataPath::path(), support + "com.quorvane.Tapestrel-tests");
    EXPECT_TRUE(QFileInfo(support + "com.quorvane.Tapestrel-tests").isDir());
    EXPECT_FALSE(QFileInfo::exists(support + "com.quorvane.Tapestrel"));

    // Kept for the home once computed, and settable.
    qunsetenv("TEST");
    EXPECT_EQ(DataPath::path(), support + "com.quorvane.Tapestrel-tests");
    DataPath::setPath("/elsewhere");
    EXPECT_EQ(DataPath::path(), "/elsewhere");
}

TEST_F(DataPathTest, OutsideTestModeTheBundleFolderIsUsedAndEachHomeHasItsOwn)
{
    qunsetenv("TEST");
    EXPECT_EQ(DataPath::path(), home.filePath("Library/Application Support/com.quorvane.Tapestrel"));
    EXPECT_TRUE(QFileInfo(DataPath::path()).isDir());
    {
        TempHome other;
        EXPECT_EQ(DataPath::path(),
                  other.filePath("Library/Application Support/com.quorvane.Tapestrel-tests"));
    }

    EXPECT_EQ(DataPath::ubiquityContainerPath(), std::nullopt);
    TempHome withDrive;
    withDrive.writeFile("Library/Mobile Documents/.keep", "");
    const std::optional<QString> container = DataPath::ubiquityContainerPath();
    ASSERT_TRUE(container.has_value());
    EXPECT_EQ(*container, withDrive.filePath("Library/Mobile Documents/iCloud~com~quorvane~Tapestrel"));
    EXPECT_TRUE(QFileInfo(*container).isDir());
}

TEST(PathControllerTest, JoinsWithExactlyOneSeparator)
{
    PathController<StorePath> paths("/data/app");
    EXPECT_EQ(paths.path(StorePath::data), "/data/app/data.sqlite");
    EXPECT_EQ(paths[StorePath::backups], "/data/app/backups");
    paths.setBasePath("/data/app/");
    EXPECT_EQ(paths[StorePath::data], "/data/app/data.sqlite");
    paths.setBasePath("");
    EXPECT_EQ(paths[StorePath::backgrounds], "backgrounds");
}

TEST(SmallFoundationTest, RangesTimeSpansAndWeakReferences)
{
    const QString five = QStringLiteral("abcde");
    EXPECT_TRUE(containsRange(five, 2, 3));
    EXPECT_FALSE(containsRange(QStringLiteral("abcd"), 2, 3));
    EXPECT_FALSE(containsRange(five, -1, 1));
    EXPECT_FALSE(containsRange(five, 2, -1));
    EXPECT_TRUE(containsRange(five, 5, 0));
    EXPECT_FALSE(containsRange(five, 1, std::numeric_limits<qsizetype>::max()));
    EXPECT_TRUE(containsRange(QStringLiteral("🎨x"), 0, 3)); // UTF-16 units: the emoji is two

    EXPECT_EQ(TimeInterval::hours(2), 7200.0);
    EXPECT_EQ(TimeInterval::days(3), 259200.0);
    EXPECT_EQ(TimeInterval::weeks(1), 604800.0);
    EXPECT_EQ(TimeInterval::hours(-1), -3600.0);
    const qint64 huge = std::numeric_limits<qint64>::max();
    EXPECT_DOUBLE_EQ(TimeInterval::hours(huge), double(huge) * 3600.0);

    ObjectReferenceStore<QObject> store;
    EXPECT_EQ(store.object(), nullptr);
    auto object = std::make_unique<QObject>();
    store.setObject(object.get());
    EXPECT_EQ(store.object(), object.get());
    object.reset();
    EXPECT_EQ(store.object(), nullptr);
}

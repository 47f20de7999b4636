#include "platform/RegularFile.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/TempHome.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using TestSupport::HostileFiles::makeLinkLoop;
using TestSupport::HostileFiles::makePipe;
using TestSupport::HostileFiles::makeSparseFile;

using RegularFileTest = TestSupport::TempHomeTest;

// Whatever stands where a file is expected, the answer comes at once.
TEST_F(RegularFileTest, OnlyRegularFilesWithinTheLimitAreRead)
{
    home.writeFile("plain", "contents");
    home.writeFile("folder/inside", "x");
    ASSERT_TRUE(QFile::link(home.filePath("plain"), home.filePath("link")));
    ASSERT_TRUE(makePipe(home.filePath("pipe")));
    ASSERT_TRUE(QFile::link(home.filePath("pipe"), home.filePath("link to pipe")));
    ASSERT_TRUE(makeLinkLoop(home.filePath("loop")));
    ASSERT_TRUE(QFile::link(home.filePath("missing"), home.filePath("dangling")));
    ASSERT_TRUE(makeSparseFile(home.filePath("large"), 100 * 1024 * 1024));

    struct Case
    {
        QString path;
        std::optional<QByteArray> bytes;
        QString error;
    };
    const QList<Case> cases {
        {home.filePath("plain"), "contents", {}},
        {home.filePath("link"), "contents", {}},
        {home.filePath("pipe"), std::nullopt, "it is not a regular file"},
        {home.filePath("link to pipe"), std::nullopt, "it is not a regular file"},
        {QStringLiteral("/dev/zero"), std::nullopt, "it is not a regular file"},
        {home.filePath("folder"), std::nullopt, "it is not a regular file"},
        {home.filePath("loop"), std::nullopt, "Too many levels of symbolic links"},
        {home.filePath("missing"), std::nullopt, "No such file or directory"},
        {home.filePath("dangling"), std::nullopt, "it is a link to a file that does not exist"},
        {QString(), std::nullopt, "No such file or directory"},
        {home.filePath("large"), std::nullopt, "the file is too large (104857600 bytes)"},
    };
    const QStringList pipes {home.filePath("pipe")};
    for (const Case &test : cases) {
        SCOPED_TRACE(test.path.toStdString());
        Platform::RegularFile::Contents contents;
        EXPECT_LT(TestSupport::timeWithPipes(
                      pipes, [&] { contents = Platform::RegularFile::read(test.path, 1024); }),
                  TestSupport::stuckOnAPipe);
        EXPECT_EQ(contents.bytes, test.bytes);
        EXPECT_EQ(contents.error, test.error);

        QFile file;
        const auto failure = Platform::RegularFile::open(file, test.path, 1024);
        EXPECT_EQ(failure.value_or(QString()), test.error);
        EXPECT_EQ(file.isOpen(), !failure.has_value());
    }

    // Exactly at the limit is read; a file larger than its size says (as in /proc) is read to its end.
    EXPECT_EQ(Platform::RegularFile::read(home.filePath("plain"), 8).bytes, "contents");
    const Platform::RegularFile::Contents status = Platform::RegularFile::read("/proc/self/stat", 1024);
    ASSERT_TRUE(status.bytes.has_value()) << status.error.toStdString();
    EXPECT_TRUE(status.bytes->endsWith('\n'));
    EXPECT_EQ(Platform::RegularFile::read("/proc/self/stat", 8).error, "the file is too large (9 bytes)");

    QFile large;
    ASSERT_EQ(Platform::RegularFile::open(large, home.filePath("large")), std::nullopt);
    EXPECT_EQ(large.size(), 100 * 1024 * 1024);
    EXPECT_EQ(large.read(4), QByteArray(4, '\0'));
}

// A pipe that takes the file's place right after the check is never opened by name.
TEST_F(RegularFileTest, APipeThatTakesTheFilesPlaceMeanwhileIsNeverWaitedOn)
{
    const QString path = home.filePath("swapped");
    TestSupport::HostileFiles::SwappingPipe swapping(path, "contents");
    ASSERT_TRUE(swapping.isValid());
    const auto tally = swapping.keepReading([&] {
        const Platform::RegularFile::Contents contents = Platform::RegularFile::read(path, 1024);
        if (!contents.bytes) {
            EXPECT_EQ(contents.error, "it is not a regular file");
            return false;
        }
        EXPECT_EQ(*contents.bytes, "contents");
        return true;
    });
    EXPECT_LT(tally.took, TestSupport::stuckOnAPipe);
    EXPECT_GT(tally.read, 0);
    EXPECT_GT(tally.refused, 0);
}

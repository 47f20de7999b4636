#include "platform/AtomicFile.h"
#include "platform/UserDefaults.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>

using Platform::AtomicFile;
using Platform::UserDefaults;
using TestSupport::TempHomeTest;

namespace {

// Lowers this process's file-size limit for a scope, as a nearly full disk would: a write past the
// limit comes up short and then fails, instead of raising the signal that would end the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
        : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = std::min(bytes, m_saved.rlim_max);
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved {};
    void (*m_handler)(int);
};

} // namespace

class AtomicFileTest : public TempHomeTest
{
};

TEST_F(AtomicFileTest, AShortWriteFailsAndKeepsTheOldFileAndALinkIsWrittenThrough)
{
    const QByteArray old = "the old content\n";
    const QByteArray large(10000, 'x'); // within the buffer a buffered write would use
    home.writeFile("data/file", old);
    const QString path = home.filePath("data/file");
    {
        const FileSizeLimit limit(4096);
        const auto failure = AtomicFile::replace(path, large);
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->error, QFileDevice::WriteError);
        EXPECT_FALSE(failure->reason.isEmpty());

        // Streamed: the part that fits is written, the next write fails and nothing commits.
        AtomicFile streamed(path);
        ASSERT_TRUE(streamed.open());
        EXPECT_TRUE(streamed.write(large.left(1024)));
        EXPECT_FALSE(streamed.write(large));
        EXPECT_FALSE(streamed.commit());

        // What fits still replaces the file.
        EXPECT_FALSE(AtomicFile::replace(home.filePath("data/small"), "small"));
    }
    EXPECT_EQ(home.readFile("data/file"), old);
    EXPECT_EQ(home.readFile("data/small"), "small");
    // No temporary file is left behind.
    EXPECT_EQ(QDir(home.filePath("data")).entryList(QDir::Files), QStringList({"file", "small"}));

    // A link is followed: the file it leads to is replaced and keeps its permissions.
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QFile::Permissions permissions = QFile::permissions(path);
    ASSERT_TRUE(QFile::link(QStringLiteral("data/file"), home.filePath("link")));
    EXPECT_FALSE(AtomicFile::replace(home.filePath("link"), large));
    EXPECT_TRUE(QFileInfo(home.filePath("link")).isSymLink());
    EXPECT_EQ(home.readFile("data/file"), large);
    EXPECT_EQ(QFile::permissions(path), permissions);
}

TEST_F(AtomicFileTest, APreferenceWriteThatDoesNotFitKeepsTheOldFileAndValue)
{
    UserDefaults &defaults = UserDefaults::standard();
    ASSERT_TRUE(defaults.setValue("kept", QStringLiteral("old")));
    const QString file = QStringLiteral("Library/Preferences/com.quorvane.Tapestrel.plist");
    const QByteArray before = home.readFile(file);
    ASSERT_FALSE(before.isEmpty());
    {
        const FileSizeLimit limit(4096);
        EXPECT_FALSE(defaults.setValue("large", QByteArray(10000, 'x')));
    }
    EXPECT_EQ(home.readFile(file), before);
    EXPECT_FALSE(defaults.value("large").isValid());
    EXPECT_EQ(defaults.value("kept").toString(), QStringLiteral("old"));
}

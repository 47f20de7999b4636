#include "testsupport/TempHome.h"
#include "testsupport/Zip64Archive.h"
#include "zip/Zip.h"
#include "zip/ZipUtilities.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

using Zip::ZipError;

namespace {

struct CraftedEntry
{
    QByteArray name;
    QByteArray data;
    uLong externalAttributes = 0;
};

// Writes an archive entry by entry with minizip itself, so the tests control names and attributes
// that the layer would never write.
void craftArchive(const QString &path, const QList<CraftedEntry> &entries, int level = Z_DEFAULT_COMPRESSION)
{
    zipFile archive = zipOpen(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    ASSERT_NE(archive, nullptr);
    for (const CraftedEntry &entry : entries) {
        zip_fileinfo info;
        std::memset(&info, 0, sizeof(info));
        info.external_fa = entry.externalAttributes;
        ASSERT_EQ(zipOpenNewFileInZip(archive, entry.name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      level == 0 ? 0 : Z_DEFLATED, level),
                  ZIP_OK);
        if (!entry.data.isEmpty()) {
            ASSERT_EQ(zipWriteInFileInZip(archive, entry.data.constData(), unsigned(entry.data.size())),
                      ZIP_OK);
        }
        ASSERT_EQ(zipCloseFileInZip(archive), ZIP_OK);
    }
    ASSERT_EQ(zipClose(archive, nullptr), ZIP_OK);
}

// A raw deflate entry whose local and central headers declare the given uncompressed size.
void craftLyingArchive(const QString &path, const QByteArray &name, const QByteArray &content,
                       quint64 declaredSize)
{
    QByteArray compressed(int(compressBound(uLong(content.size()))) + 64, '\0');
    z_stream stream;
    std::memset(&stream, 0, sizeof(stream));
    ASSERT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(content.constData()));
    stream.avail_in = uInt(content.size());
    stream.next_out = reinterpret_cast<Bytef *>(compressed.data());
    stream.avail_out = uInt(compressed.size());
    ASSERT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    compressed.truncate(int(stream.total_out));
    deflateEnd(&stream);

    zipFile archive = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    ASSERT_NE(archive, nullptr);
    zip_fileinfo info;
    std::memset(&info, 0, sizeof(info));
    ASSERT_EQ(zipOpenNewFileInZip2_64(archive, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, 9, 1, 1),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(archive, compressed.constData(), unsigned(compressed.size())), ZIP_OK);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(content.constData()), uInt(content.size()));
    ASSERT_EQ(zipCloseFileInZipRaw64(archive, declaredSize, crc), ZIP_OK);
    ASSERT_EQ(zipClose(archive, nullptr), ZIP_OK);
}

struct ReadEntry
{
    QString name;
    tm_unz date;
};

QList<ReadEntry> entriesOf(const QString &path)
{
    QList<ReadEntry> result;
    unzFile archive = unzOpen64(QFile::encodeName(path).constData());
    if (!archive)
        return result;
    int status = unzGoToFirstFile(archive);
    while (status == UNZ_OK) {
        char name[512];
        unz_file_info64 info;
        unzGetCurrentFileInfo64(archive, &info, name, sizeof(name), nullptr, 0, nullptr, 0);
        result.append({QString::fromUtf8(name), info.tmu_date});
        status = unzGoToNextFile(archive);
    }
    unzClose(archive);
    return result;
}

QStringList namesOf(const QString &path)
{
    QStringList names;
    for (const ReadEntry &entry : entriesOf(path))
        names.append(entry.name);
    return names;
}

unsigned modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? unsigned(info.st_mode & 0777) : 0u;
}

ZipError::Code unzipErrorOf(const QString &archive, const QString &destination, bool overwrite = true)
{
    try {
        Zip::Zip::unzipFile(archive, destination, overwrite);
    } catch (const ZipError &error) {
        return error.code();
    }
    ADD_FAILURE() << "unpacking " << qPrintable(archive) << " did not fail";
    return ZipError::zipFail;
}

class ZipTest : public TestSupport::TempHomeTest
{
protected:
    QString path(const QString &relative) const { return home.filePath(relative); }
};

} // namespace

TEST_F(ZipTest, PacksFoldersByContentAndFilesByNameAndUnpacksThemBack)
{
    home.writeFile("A/b.txt", "bee");
    home.writeFile("A/c/d.txt", "dee");
    home.writeFile("A/.hidden", "secret");
    QDir().mkpath(path("Empty"));

    Zip::Zip::zipFiles({path("A")}, path("folder.zip"));
    EXPECT_EQ(namesOf(path("folder.zip")), QStringList({"A/.hidden", "A/b.txt", "A/c/d.txt"}));

    Zip::Zip::zipFiles({path("A/b.txt"), path("A/c/d.txt")}, path("files.zip"));
    EXPECT_EQ(namesOf(path("files.zip")), QStringList({"b.txt", "d.txt"}));

    Zip::Zip::zipFiles({path("Empty")}, path("empty.zip"));
    EXPECT_TRUE(QFileInfo::exists(path("empty.zip")));
    EXPECT_TRUE(namesOf(path("empty.zip")).isEmpty());

    Zip::Zip::unzipFile(path("folder.zip"), path("out"), true);
    EXPECT_EQ(home.readFile("out/A/b.txt"), "bee");
    EXPECT_EQ(home.readFile("out/A/c/d.txt"), "dee");
    EXPECT_EQ(home.readFile("out/A/.hidden"), "secret");

    // The entry keeps the file's local modification time (two-second resolution, January is 0).
    QFile stamped(path("A/b.txt"));
    ASSERT_TRUE(stamped.open(QIODevice::ReadWrite));
    ASSERT_TRUE(stamped.setFileTime(QDateTime(QDate(2024, 3, 15), QTime(9, 30, 4)),
                                    QFileDevice::FileModificationTime));
    stamped.close();
    Zip::Zip::zipFiles({path("A/b.txt")}, path("dated.zip"));
    const QList<ReadEntry> dated = entriesOf(path("dated.zip"));
    ASSERT_EQ(dated.size(), 1);
    EXPECT_EQ(dated[0].date.tm_year, 2024u);
    EXPECT_EQ(dated[0].date.tm_mon, 2u);
    EXPECT_EQ(dated[0].date.tm_mday, 15u);
    EXPECT_EQ(dated[0].date.tm_hour, 9u);
    EXPECT_EQ(dated[0].date.tm_min, 30u);
    EXPECT_EQ(dated[0].date.tm_sec, 4u);
}

TEST_F(ZipTest, FailedPackingLeavesNoArchiveAndProgressEndsWithOneFinalReport)
{
    home.writeFile("one.txt", QByteArray(40000, 'x'));
    home.writeFile("two.txt", QByteArray(40000, 'y'));

    QList<double> reports;
    Zip::Zip::zipFiles({path("one.txt"), path("two.txt")}, path("p.zip"), std::nullopt,
                       Zip::ZipCompression::BestSpeed, [&](double value) { reports.append(value); });
    ASSERT_EQ(reports, QList<double>({0.5, 1.0}));

    try {
        Zip::Zip::zipFiles({path("one.txt"), path("missing.txt")}, path("broken.zip"));
        ADD_FAILURE() << "packing a missing file succeeded";
    } catch (const ZipError &error) {
        EXPECT_EQ(error.code(), ZipError::zipFail);
        EXPECT_EQ(error.description(), "Failed to zip file.");
    }
    EXPECT_FALSE(QFileInfo::exists(path("broken.zip")));

    // In-memory files: empty ones are skipped, the rest unpack unchanged.
    Zip::Zip::zipData({{"a.json", "[]", std::nullopt}, {"empty", {}, std::nullopt}}, path("data.zip"));
    EXPECT_EQ(namesOf(path("data.zip")), QStringList({"a.json"}));
}

TEST_F(ZipTest, RefusesEntriesThatLeaveTheDestination)
{
    QDir().mkpath(path("d"));
    for (const QByteArray &name : {QByteArray("../evil.txt"), QByteArray("a/../../evil.txt"),
                                   QByteArray("../d2/evil.txt"), QByteArray("..\\evil.txt")}) {
        SCOPED_TRACE(name.constData());
        craftArchive(path("evil.zip"), {{"fine.txt", "ok"}, {name, "evil"}});
        EXPECT_EQ(unzipErrorOf(path("evil.zip"), path("d")), ZipError::unzipFail);
        EXPECT_FALSE(QFileInfo::exists(path("evil.txt")));
        EXPECT_FALSE(QFileInfo::exists(path("d2/evil.txt")));
    }
    // An absolute name stays below the destination.
    craftArchive(path("abs.zip"), {{"/abs.txt", "inside"}});
    Zip::Zip::unzipFile(path("abs.zip"), path("d"), true);
    EXPECT_EQ(home.readFile("d/abs.txt"), "inside");
}

TEST_F(ZipTest, NeverWritesThroughALinkStandingInTheDestination)
{
    QDir().mkpath(path("d"));
    QDir().mkpath(path("outside"));
    home.writeFile("outside/target.txt", "mine");
    ASSERT_TRUE(QFile::link(path("outside/target.txt"), path("d/file.txt")));
    ASSERT_TRUE(QFile::link(path("outside/missing.txt"), path("d/dangling.txt")));
    ASSERT_TRUE(QFile::link(path("outside"), path("d/folder")));
    const QList<QByteArray> names {"file.txt",          "dangling.txt", "folder/new.txt",
                                   "folder/target.txt", "folder/",      "folder/sub/new.txt"};
    for (const QByteArray &name : names) {
        SCOPED_TRACE(name.constData());
        craftArchive(path("link.zip"), {{name, "theirs"}});
        EXPECT_EQ(unzipErrorOf(path("link.zip"), path("d")), ZipError::unzipFail);
    }
    EXPECT_EQ(home.readFile("outside/target.txt"), "mine");
    EXPECT_EQ(QDir(path("outside")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"target.txt"}));
    EXPECT_FALSE(QFileInfo::exists(path("outside/missing.txt")));
    // A destination that is itself a link is unpacked into.
    ASSERT_TRUE(QFile::link(path("d2"), path("linked")));
    QDir().mkpath(path("d2"));
    craftArchive(path("fine.zip"), {{"fine.txt", "ok"}});
    Zip::Zip::unzipFile(path("fine.zip"), path("linked"), true);
    EXPECT_EQ(home.readFile("d2/fine.txt"), "ok");
}

TEST_F(ZipTest, BackslashesPermissionsAndOverwrite)
{
    craftArchive(path("mixed.zip"),
                 {{"dir\\sub\\f.txt", "deep"},
                  {"folder\\", {}},
                  {"mode644.txt", "m", uLong(0100644) << 16},
                  {"mode600.txt", "m", uLong(0100600) << 16},
                  {"plain.txt", "p", 0}});
    Zip::Zip::unzipFile(path("mixed.zip"), path("out"), true);
    EXPECT_EQ(home.readFile("out/dir/sub/f.txt"), "deep");
    EXPECT_TRUE(QFileInfo(path("out/folder")).isDir());
    EXPECT_EQ(modeOf(path("out/mode644.txt")), 0644u);
    EXPECT_EQ(modeOf(path("out/mode600.txt")), 0600u);
    EXPECT_TRUE(QFileInfo(path("out/plain.txt")).isWritable());

    craftArchive(path("again.zip"), {{"plain.txt", "new"}, {"other.txt", "other"}});
    Zip::Zip::unzipFile(path("again.zip"), path("out"), false);
    EXPECT_EQ(home.readFile("out/plain.txt"), "p");
    EXPECT_EQ(home.readFile("out/other.txt"), "other");
    Zip::Zip::unzipFile(path("again.zip"), path("out"), true);
    EXPECT_EQ(home.readFile("out/plain.txt"), "new");
}

TEST_F(ZipTest, CorruptedOversizedAndLyingArchivesFail)
{
    // Stored without compression, so the byte to flip is easy to find; the CRC no longer matches.
    craftArchive(path("crc.zip"), {{"f.txt", "ABCDEFGHIJKLMNOP"}}, 0);
    QByteArray bytes = home.readFile("crc.zip");
    const qsizetype at = bytes.indexOf("ABCDEFGHIJKLMNOP");
    ASSERT_GT(at, 0);
    bytes[at] = 'Z';
    home.writeFile("crc.zip", bytes);
    EXPECT_EQ(unzipErrorOf(path("crc.zip"), path("crc")), ZipError::unzipFail);
    EXPECT_EQ(home.readFile("crc/f.txt"), "ZBCDEFGHIJKLMNOP");

    // Of an entry whose sizes are in zip64 fields, minizip checks no CRC: the unpacking does. Nor
    // does it know where a stored one ends: the unpacking stops at its size.
    ASSERT_TRUE(TestSupport::writeZip64Archive(path("zip64.zip"),
                                               {{"f.txt", "ABCDEFGHIJKLMNOP"}, {"g.txt", "stored", true}}));
    Zip::Zip::unzipFile(path("zip64.zip"), path("zip64"), true);
    EXPECT_EQ(home.readFile("zip64/f.txt"), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(home.readFile("zip64/g.txt"), "stored");
    bytes = home.readFile("zip64.zip");
    bytes[14] = char(bytes[14] ^ 1); // the local header's CRC, and the central directory's
    bytes[bytes.indexOf("PK\x01\x02") + 16] = char(bytes[14]);
    home.writeFile("zip64.zip", bytes);
    EXPECT_EQ(unzipErrorOf(path("zip64.zip"), path("zip64-crc")), ZipError::unzipFail);

    home.writeFile("text.zip", "this is not an archive");
    EXPECT_EQ(unzipErrorOf(path("text.zip"), path("text")), ZipError::unzipFail);

    // Declared sizes beyond the limit are refused before anything is written.
    craftLyingArchive(path("huge.zip"), "huge.bin", QByteArray(1000, '\0'), quint64(3) << 30);
    EXPECT_EQ(unzipErrorOf(path("huge.zip"), path("huge")), ZipError::unzipFail);
    EXPECT_FALSE(QFileInfo::exists(path("huge/huge.bin")));

    // An entry that inflates to more than it declared is cut at the declared size.
    craftLyingArchive(path("liar.zip"), "liar.bin", QByteArray(200000, '\0'), 10);
    EXPECT_EQ(unzipErrorOf(path("liar.zip"), path("liar")), ZipError::unzipFail);
    EXPECT_LE(QFileInfo(path("liar/liar.bin")).size(), 10);
}

TEST_F(ZipTest, AcceptsOnlyKnownExtensions)
{
    craftArchive(path("b.tapback"), {{"profiles.json", "[]"}});
    EXPECT_EQ(unzipErrorOf(path("b.tapback"), path("out")), ZipError::fileNotFound);
    Zip::Zip::addCustomFileExtension("tapback");
    Zip::Zip::addCustomFileExtension("tapback");
    EXPECT_TRUE(Zip::Zip::isValidFileExtension("tapback"));
    Zip::Zip::unzipFile(path("b.tapback"), path("out"), true);
    EXPECT_EQ(home.readFile("out/profiles.json"), "[]");
    Zip::Zip::removeCustomFileExtension("tapback");
    EXPECT_FALSE(Zip::Zip::isValidFileExtension("tapback"));

    craftArchive(path("caps.ZIP"), {{"x.txt", "x"}});
    EXPECT_EQ(unzipErrorOf(path("caps.ZIP"), path("out")), ZipError::fileNotFound);
    EXPECT_EQ(unzipErrorOf(path("missing.zip"), path("out")), ZipError::fileNotFound);
    EXPECT_TRUE(Zip::Zip::isValidFileExtension("cbz"));

    const QString archive = Zip::Zip::quickZipFiles({path("out/profiles.json")}, "Quick");
    EXPECT_EQ(archive, home.filePath("Documents/Quick.zip"));
    EXPECT_EQ(Zip::Zip::quickUnzipFile(archive), home.filePath("Documents/Quick"));
    EXPECT_EQ(home.readFile("Documents/Quick/profiles.json"), "[]");
}

#include "KivUtilities/FileNameNormalizer.h"
#include "KivUtilities/NameGenerator.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace KivUtilities;

TEST(FileNameNormalizer, MakesSafeSingleLineNames)
{
    const FileNameNormalizer normalizer;
    EXPECT_EQ(normalizer.normalize(QStringLiteral("  ..:/?  .")), QStringLiteral("Untitled"));
    EXPECT_EQ(normalizer.normalize(QString()), QStringLiteral("Untitled"));
    EXPECT_EQ(normalizer.normalize(QStringLiteral("Trip\nPlan")), QStringLiteral("Trip Plan"));
    EXPECT_EQ(normalizer.normalize(QStringLiteral("Trip\r\n\tPlan")), QStringLiteral("Trip Plan"));
    EXPECT_EQ(normalizer.normalize(QStringLiteral("a/b:c")), QStringLiteral("abc"));
    EXPECT_EQ(normalizer.normalize(QStringLiteral("\\*?\"<>|x")), QStringLiteral("x"));
    EXPECT_EQ(normalizer.normalize(QStringLiteral("..hidden.")), QStringLiteral("hidden"));
    EXPECT_EQ(normalizer.normalize(QStringLiteral("v1.2 notes")), QStringLiteral("v1.2 notes"));
    EXPECT_EQ(normalizer.normalize(QStringLiteral("a   b     c")), QStringLiteral("a b c"));
    // Control and format characters vanish; a no-break space counts as blank at the ends.
    EXPECT_EQ(normalizer.normalize(QStringLiteral("\u00A0a\u0007b\u200Bc\u202E\u00A0")),
              QStringLiteral("abc"));
    EXPECT_EQ(normalizer.normalize(QStringLiteral("\U0001F600 smile")), QStringLiteral("\U0001F600 smile"));
}

TEST(FileNameNormalizer, CutsLongNamesBetweenCharacters)
{
    const FileNameNormalizer normalizer;
    EXPECT_EQ(normalizer.normalize(QString(150, QLatin1Char('x'))), QString(100, QLatin1Char('x')));
    EXPECT_EQ(normalizer.normalize(QString(100, QLatin1Char('x'))), QString(100, QLatin1Char('x')));
    const QString spaceAt100 = QString(99, QLatin1Char('x')) + QStringLiteral(" tail");
    EXPECT_EQ(normalizer.normalize(spaceAt100), QString(99, QLatin1Char('x')) + QLatin1Char(' '));

    // 100 characters, each an "e" with a combining accent (3 bytes each): 85 fit in 255 bytes.
    QString accented;
    for (int i = 0; i < 120; ++i)
        accented += QStringLiteral("e\u0301");
    const QString cut = normalizer.normalize(accented);
    EXPECT_LE(cut.toUtf8().size(), 255);
    EXPECT_EQ(cut.size(), 85 * 2);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("e\u0301")));

    // Emoji of four bytes: 63 fit; a flag (two scalars) is never split.
    QString flags;
    for (int i = 0; i < 40; ++i)
        flags += QStringLiteral("\U0001F1E9\U0001F1EA");
    const QString cutFlags = normalizer.normalize(flags);
    EXPECT_EQ(cutFlags.toUtf8().size(), 31 * 8);
    EXPECT_TRUE(cutFlags.endsWith(QStringLiteral("\U0001F1E9\U0001F1EA")));
}

TEST(NameGenerator, NumbersCandidatesUntilOneIsFree)
{
    const NameGenerator fromList(std::make_shared<ListNameSource>(
                                     QStringList {QStringLiteral("name.txt"), QStringLiteral("name-1.txt")}),
                                 QStringLiteral("-"));
    EXPECT_EQ(fromList.uniqueName(QStringLiteral("name"), QStringLiteral(".txt")),
              QStringLiteral("name-2.txt"));
    EXPECT_EQ(fromList.uniqueName(QStringLiteral("Name"), QStringLiteral(".txt")),
              QStringLiteral("Name.txt"));
    EXPECT_EQ(fromList.uniqueName(QStringLiteral("name.txt"), QString()), QStringLiteral("name.txt-1"));

    const NameGenerator empty(std::make_shared<ListNameSource>(QStringList {}), QStringLiteral(" "));
    EXPECT_EQ(empty.uniqueName(QStringLiteral("name"), QStringLiteral(".txt")), QStringLiteral("name.txt"));
}

TEST(NameGenerator, DirectorySourceSeesFilesFoldersAndDanglingLinks)
{
    TestSupport::TempHome home;
    home.writeFile(QStringLiteral("dir/Photo.png"), "x");
    QDir(home.filePath(QStringLiteral("dir"))).mkdir(QStringLiteral("Photo 1.png"));
    QFile::link(home.filePath(QStringLiteral("gone")), home.filePath(QStringLiteral("dir/Photo 2.png")));

    const auto source = std::make_shared<DirectoryNameSource>(home.filePath(QStringLiteral("dir")));
    EXPECT_FALSE(source->isAvailable(QStringLiteral("Photo.png")));
    EXPECT_TRUE(source->isAvailable(QStringLiteral("photo.png")));
    const NameGenerator generator(source, QStringLiteral(" "));
    EXPECT_EQ(generator.uniqueName(QStringLiteral("Photo"), QStringLiteral(".png")),
              QStringLiteral("Photo 3.png"));
}

#include "KivUtilities/FileNameNormalizer.h"
#include "KivUtilities/NameGenerator.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace KivUtilities;

TEST(FileNameNormalizer, MakesSafeSingleLineNamesCutBetweenCharacters)
{
    const QString x99 = QString(99, u'x');
    QString accented, flags; // 3 and 8 bytes per character
    for (int i = 0; i < 120; ++i)
        accented += QStringLiteral("e\u0301");
    for (int i = 0; i < 40; ++i)
        flags += QStringLiteral("\U0001F1E9\U0001F1EA");
    const std::pair<QString, QString> rows[] = {
        {"  ..:/?  .", "Untitled"},
        {"", "Untitled"},
        {"Trip\nPlan", "Trip Plan"},
        {"Trip\r\n\tPlan", "Trip Plan"},
        {"a/b:c", "abc"},
        {"\\*?\"<>|x", "x"},
        {"..hidden.", "hidden"},
        {"v1.2 notes", "v1.2 notes"},
        {"a   b     c", "a b c"},
        // Control and format characters vanish; a no-break space counts as blank at the ends.
        {"\u00A0a\u0007b\u200Bc\u202E\u00A0", "abc"},
        {"\U0001F600 smile", "\U0001F600 smile"},
        // 100 characters at most, 255 bytes at most, and a flag (two scalars) is never split.
        {QString(150, u'x'), QString(100, u'x')},
        {QString(100, u'x'), QString(100, u'x')},
        {x99 + " tail", x99 + u' '},
        {accented, accented.left(85 * 2)},
        {flags, flags.left(31 * 4)}};
    for (const auto &[text, name] : rows)
        EXPECT_EQ(FileNameNormalizer().normalize(text), name) << text.left(20).toStdString();
}

TEST(NameGenerator, NumbersCandidatesUntilOneIsFree)
{
    const NameGenerator fromList(std::make_shared<ListNameSource>(QStringList {"name.txt", "name-1.txt"}),
                                 "-");
    EXPECT_EQ(fromList.uniqueName("name", ".txt"), "name-2.txt");
    EXPECT_EQ(fromList.uniqueName("Name", ".txt"), "Name.txt");
    EXPECT_EQ(fromList.uniqueName("name.txt", QString()), "name.txt-1");
    const NameGenerator empty(std::make_shared<ListNameSource>(QStringList {}), " ");
    EXPECT_EQ(empty.uniqueName("name", ".txt"), "name.txt");
}

TEST(NameGenerator, DirectorySourceSeesFilesFoldersAndDanglingLinks)
{
    TestSupport::TempHome home;
    home.writeFile("dir/Photo.png", "x");
    QDir(home.filePath("dir")).mkdir("Photo 1.png");
    QFile::link(home.filePath("gone"), home.filePath("dir/Photo 2.png"));

    const auto source = std::make_shared<DirectoryNameSource>(home.filePath("dir"));
    EXPECT_FALSE(source->isAvailable("Photo.png"));
    EXPECT_TRUE(source->isAvailable("photo.png"));
    EXPECT_EQ(NameGenerator(source, " ").uniqueName("Photo", ".png"), "Photo 3.png");
}

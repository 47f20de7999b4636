#include "Tapestrel/background/BackgroundsICloudCoordinator.h"

#include "KivDesktopBackground/Background.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "platform/CloudDrive.h"
#include "platform/UserDefaults.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

using KivDesktopBackground::Background;
using KivDesktopBackground::SerializableLinearGradient;

namespace {

const QString pictureKey = QStringLiteral("system.desktop.background.picture");

QString imageValue(const QString &path)
{
    return Background::image(QUrl::fromLocalFile(path)).rawValue();
}

QString plainValue(const QString &path)
{
    return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
}

class CoordinatorTest : public TestSupport::TempHomeTest
{
protected:
    QString local(const QString &name = QString()) const
    {
        const QString folder =
            home.filePath("Library/Application Support/com.quorvane.Tapestrel-tests/backgrounds");
        return name.isEmpty() ? folder : folder + "/" + name;
    }
    QString cloud(const QString &name = QString()) const
    {
        const QString folder =
            home.filePath("Library/Mobile Documents/iCloud~com~quorvane~Tapestrel/Wallpapers");
        return name.isEmpty() ? folder : folder + "/" + name;
    }
    void put(const QString &path, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read(const QString &path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool migrated() const
    {
        return Platform::UserDefaults::standard().boolean("didMigrateBackgroundsToICloudDrive");
    }
    QString storePath() const { return home.filePath("store/data.sqlite"); }

    // Stored values by the uuid or name given at creation, read from a freshly opened store.
    QMap<QString, QString> storedValues() const
    {
        ModelContainer container(storePath());
        QMap<QString, QString> values;
        for (CustomBackground *background : container.mainContext()->fetchBackgrounds())
            values.insert(background->uuid(), background->backgroundValue());
        for (Profile *profile : container.mainContext()->fetchProfiles())
            for (Option *option : profile->options())
                values.insert(profile->name() + ":" + option->key(), option->value());
        return values;
    }

    void addBackground(ModelContext *context, const QString &uuid, const QString &value)
    {
        auto *background =
            context->insert(std::make_unique<CustomBackground>(CustomBackground::Kind::Image, value));
        background->setUuid(uuid);
    }
    void addProfile(ModelContext *context, const QString &name, const QString &key, const QString &value)
    {
        auto *profile = context->insert(std::make_unique<Profile>(name));
        profile->findOrCreateOption(key)->setValue(value);
    }

    const TestSupport::ScopedVariable drive {Platform::CloudDrive::environmentVariable, QByteArray()};
};

} // namespace

TEST_F(CoordinatorTest, WithoutTheCloudDriveNothingMovesAndTheLocalFolderServes)
{
    put(local("a.png"), "A");
    {
        ModelContainer container(storePath());
        addBackground(container.mainContext(), "bg", imageValue(local("a.png")));
        container.mainContext()->save();
        BackgroundsICloudCoordinator coordinator(local());
        EXPECT_EQ(coordinator.iCloudFolderURL(), std::nullopt);
        EXPECT_EQ(coordinator.wallpapersFolderPath(), local());
        coordinator.migrateToICloudDriveIfNeeded(container);
    }
    EXPECT_FALSE(Platform::UserDefaults::standard().contains("didMigrateBackgroundsToICloudDrive"));
    EXPECT_TRUE(QFileInfo::exists(local("a.png")));
    EXPECT_EQ(storedValues().value("bg"), imageValue(local("a.png")));

    Platform::CloudDrive::setEnabled(true);
    BackgroundsICloudCoordinator coordinator(local());
    EXPECT_EQ(coordinator.wallpapersFolderPath(), cloud());
    EXPECT_EQ(coordinator.iCloudFolderURL(), QUrl::fromLocalFile(cloud() + "/"));
    EXPECT_FALSE(QFileInfo::exists(cloud()));
}

TEST_F(CoordinatorTest, MovesOnceRewritesValuesAndCopiesOutsideImages)
{
    Platform::CloudDrive::setEnabled(true);
    put(local("a.png"), "A");
    put(local("two words.jpg"), "B");
    put(local("taken.png"), "local taken");
    put(local(".hidden"), "H");
    put(local("sub/inner.png"), "I");
    put(cloud("taken.png"), "cloud taken");
    put(cloud("p.png"), "existing p");
    put(home.filePath("Pictures/p.png"), "P");
    put(home.filePath("Pictures/q"), "Q");
    put(local() + "2/x.png", "sibling");
    put(cloud("2/x.png"), "not the sibling");

    const QString gradient =
        Background::linearGradient(
            SerializableLinearGradient(45, {{QColor(1, 2, 3), {}}, {QColor(4, 5, 6), 1.0}}))
            .rawValue();
    {
        ModelContainer container(storePath());
        ModelContext *context = container.mainContext();
        addBackground(context, "json", imageValue(local("a.png")));
        addBackground(context, "plain", plainValue(local("two words.jpg")));
        addBackground(context, "taken", imageValue(local("taken.png")));
        addBackground(context, "inner", imageValue(local("sub/inner.png")));
        addBackground(context, "outside", imageValue(home.filePath("Pictures/p.png")));
        addBackground(context, "noext", plainValue(home.filePath("Pictures/q")));
        addBackground(context, "sibling", imageValue(local() + "2/x.png"));
        addBackground(context, "colour", Background::color(QColor(9, 9, 9)).rawValue());
        addBackground(context, "gradient", gradient);
        addBackground(context, "text", "not a background");
        addBackground(context, "web", "https://example.com/a.png");
        addProfile(context, "P1", pictureKey, imageValue(local("a.png")));
        addProfile(context, "P2", pictureKey, plainValue(local("a.png")));
        addProfile(context, "P3", pictureKey, imageValue(home.filePath("Pictures/p.png")));
        addProfile(context, "P4", "other.key", imageValue(local("a.png")));
        addProfile(context, "P5", pictureKey, imageValue(local() + "2/x.png"));
        context->save();

        BackgroundsICloudCoordinator(local()).migrateToICloudDriveIfNeeded(container);
        EXPECT_FALSE(context->hasChanges());
    }
    EXPECT_TRUE(migrated());

    for (const char *name : {"a.png", "two words.jpg", ".hidden", "sub/inner.png"}) {
        EXPECT_FALSE(QFileInfo::exists(local(name))) << name;
        EXPECT_TRUE(QFileInfo::exists(cloud(name))) << name;
    }
    EXPECT_EQ(read(local("taken.png")), "local taken");
    EXPECT_EQ(read(cloud("taken.png")), "cloud taken");

    const QMap<QString, QString> values = storedValues();
    EXPECT_EQ(values["json"], imageValue(cloud("a.png")));
    EXPECT_EQ(values["plain"], plainValue(cloud("two words.jpg")));
    EXPECT_EQ(values["taken"], imageValue(cloud("taken.png")));
    EXPECT_EQ(values["inner"], imageValue(cloud("sub/inner.png")));
    EXPECT_EQ(values["colour"], Background::color(QColor(9, 9, 9)).rawValue());
    EXPECT_EQ(values["gradient"], gradient);
    EXPECT_EQ(values["text"], "not a background");
    EXPECT_EQ(values["web"], "https://example.com/a.png");
    EXPECT_EQ(values["P1:" + pictureKey], imageValue(cloud("a.png")));
    EXPECT_EQ(values["P2:" + pictureKey], plainValue(cloud("a.png")));
    EXPECT_EQ(values["P3:" + pictureKey], imageValue(home.filePath("Pictures/p.png")));
    EXPECT_EQ(values["P4:other.key"], imageValue(local("a.png")));
    // A sibling folder whose name extends the local one is outside it.
    EXPECT_EQ(values["P5:" + pictureKey], imageValue(local() + "2/x.png"));
    EXPECT_EQ(read(local() + "2/x.png"), "sibling");

    const QUrl copied = Background::fromRawValue(values["outside"])->url();
    const QFileInfo copy(copied.toLocalFile());
    EXPECT_EQ(copy.absolutePath(), cloud());
    EXPECT_TRUE(QRegularExpression("^p-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.png$")
                    .match(copy.fileName())
                    .hasMatch())
        << qPrintable(copy.fileName());
    EXPECT_EQ(read(copy.filePath()), "P");
    EXPECT_EQ(read(home.filePath("Pictures/p.png")), "P");
    EXPECT_EQ(values["noext"], plainValue(cloud("q")));
    EXPECT_EQ(values["sibling"], imageValue(cloud("x.png")));
    EXPECT_EQ(read(cloud("x.png")), "sibling");

    put(local("late.png"), "L");
    ModelContainer container(storePath());
    BackgroundsICloudCoordinator(local()).migrateToICloudDriveIfNeeded(container);
    EXPECT_TRUE(QFileInfo::exists(local("late.png")));
    EXPECT_FALSE(QFileInfo::exists(cloud("late.png")));
}

TEST_F(CoordinatorTest, FailedSaveLeavesTheFlagAndTheNextLaunchRepairs)
{
    Platform::CloudDrive::setEnabled(true);
    put(local("a.png"), "A");
    put(home.filePath("Pictures/p.png"), "P");
    {
        ModelContainer container(storePath());
        addBackground(container.mainContext(), "json", imageValue(local("a.png")));
        addBackground(container.mainContext(), "outside", imageValue(home.filePath("Pictures/p.png")));
        addProfile(container.mainContext(), "P1", pictureKey, plainValue(local("a.png")));
        container.mainContext()->save();
    }
    const auto blockUpdates = [this](bool block) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "blocker");
            db.setDatabaseName(storePath());
            ASSERT_TRUE(db.open());
            QSqlQuery query(db);
            ASSERT_TRUE(query.exec(block ? "CREATE TRIGGER refuse BEFORE UPDATE ON options "
                                           "BEGIN SELECT RAISE(ABORT, 'refused'); END"
                                         : "DROP TRIGGER refuse"));
            db.close();
        }
        QSqlDatabase::removeDatabase("blocker");
    };

    blockUpdates(true);
    {
        ModelContainer container(storePath());
        BackgroundsICloudCoordinator(local()).migrateToICloudDriveIfNeeded(container);
        const QList<CustomBackground *> backgrounds = container.mainContext()->fetchBackgrounds();
        for (CustomBackground *background : backgrounds)
            EXPECT_FALSE(background->backgroundValue().contains("Mobile Documents"));
    }
    EXPECT_FALSE(migrated());
    EXPECT_TRUE(QFileInfo::exists(cloud("a.png")));
    EXPECT_FALSE(QFileInfo::exists(local("a.png")));
    EXPECT_EQ(QDir(cloud()).entryList(QDir::Files), QStringList {"a.png"}); // the copy was taken back
    EXPECT_EQ(storedValues().value("json"), imageValue(local("a.png")));

    blockUpdates(false);
    {
        ModelContainer container(storePath());
        BackgroundsICloudCoordinator(local()).migrateToICloudDriveIfNeeded(container);
    }
    EXPECT_TRUE(migrated());
    const QMap<QString, QString> values = storedValues();
    EXPECT_EQ(values["json"], imageValue(cloud("a.png")));
    EXPECT_EQ(values["outside"], imageValue(cloud("p.png")));
    EXPECT_EQ(values["P1:" + pictureKey], plainValue(cloud("a.png")));
    EXPECT_EQ(QDir(cloud()).entryList(QDir::Files, QDir::Name), (QStringList {"a.png", "p.png"}));
}

// Without a local folder, or where it is the cloud folder itself, nothing moves, nothing is copied
// and the migration counts as done at once.
TEST_F(CoordinatorTest, NothingToMoveSetsTheFlagAtOnceAndCopyRules)
{
    Platform::CloudDrive::setEnabled(true);
    for (const auto &[folder, picture] : {std::pair {local(), home.filePath("Pictures/p.png")},
                                          std::pair {cloud() + "/./", cloud("a.png")}}) {
        SCOPED_TRACE(folder.toStdString());
        Platform::UserDefaults::standard().remove("didMigrateBackgroundsToICloudDrive");
        put(picture, "P");
        {
            ModelContainer container(storePath());
            addBackground(container.mainContext(), folder, imageValue(picture));
            container.mainContext()->save();
            BackgroundsICloudCoordinator(folder).migrateToICloudDriveIfNeeded(container);
        }
        EXPECT_TRUE(migrated());
        EXPECT_EQ(storedValues().value(folder), imageValue(picture));
        EXPECT_EQ(read(picture), "P");
        EXPECT_EQ(QDir(cloud()).entryList(QDir::Files).size(), picture.startsWith(cloud()) ? 1 : 0);
    }

    const QString folder = home.filePath("target");
    QDir().mkpath(folder);
    put(home.filePath("x.tar.gz"), "X");
    put(home.filePath(".profile"), "dot");
    using C = BackgroundsICloudCoordinator;
    EXPECT_EQ(C::copyIntoWallpapersFolder(QUrl("https://example.com/x.png"), folder), std::nullopt);
    EXPECT_EQ(C::copyIntoWallpapersFolder(QUrl::fromLocalFile(home.filePath("none.png")), folder),
              std::nullopt);
    EXPECT_EQ(C::copyIntoWallpapersFolder(QUrl::fromLocalFile(home.filePath("target/../target/a")), folder),
              std::nullopt);
    EXPECT_EQ(C::copyIntoWallpapersFolder(QUrl::fromLocalFile(home.filePath("x.tar.gz")), folder),
              QUrl::fromLocalFile(folder + "/x.tar.gz"));
    const auto second = C::copyIntoWallpapersFolder(QUrl::fromLocalFile(home.filePath("x.tar.gz")), folder);
    ASSERT_TRUE(second);
    EXPECT_TRUE(QRegularExpression("/x\\.tar-[0-9A-F-]{36}\\.gz$").match(second->path()).hasMatch())
        << qPrintable(second->path());
    EXPECT_EQ(C::copyIntoWallpapersFolder(QUrl::fromLocalFile(home.filePath(".profile")), folder),
              QUrl::fromLocalFile(folder + "/.profile"));
    EXPECT_EQ(C::copyIntoWallpapersFolder(QUrl::fromLocalFile(home.filePath("Library")), folder),
              std::nullopt);
}

// The local folder on another file system: files are copied across, folders stay with their stored paths.
TEST_F(CoordinatorTest, WhatCannotMoveToAnotherFileSystemKeepsItsStoredPath)
{
    QTemporaryDir otherDisk(QStringLiteral("/dev/shm/tapestrel-test-XXXXXX"));
    struct stat here
    {
    };
    struct stat there
    {
    };
    if (!otherDisk.isValid() || ::stat(QFile::encodeName(home.path()).constData(), &here) != 0
        || ::stat(QFile::encodeName(otherDisk.path()).constData(), &there) != 0
        || here.st_dev == there.st_dev)
        GTEST_SKIP() << "needs a memory file system apart from the temporary folder";
    const QString localFolder = otherDisk.filePath("backgrounds");
    put(localFolder + "/a.png", "A");
    put(localFolder + "/album/inner.png", "I");

    Platform::CloudDrive::setEnabled(true);
    {
        ModelContainer container(storePath());
        addBackground(container.mainContext(), "file", imageValue(localFolder + "/a.png"));
        addBackground(container.mainContext(), "inner", imageValue(localFolder + "/album/inner.png"));
        addProfile(container.mainContext(), "P1", pictureKey, plainValue(localFolder + "/album/inner.png"));
        container.mainContext()->save();
        BackgroundsICloudCoordinator(localFolder).migrateToICloudDriveIfNeeded(container);
    }
    EXPECT_EQ(read(cloud("a.png")), "A");
    EXPECT_FALSE(QFileInfo::exists(localFolder + "/a.png"));
    EXPECT_EQ(read(localFolder + "/album/inner.png"), "I");
    EXPECT_FALSE(QFileInfo::exists(cloud("album")));

    const QMap<QString, QString> values = storedValues();
    EXPECT_EQ(values["file"], imageValue(cloud("a.png")));
    EXPECT_EQ(values["inner"], imageValue(localFolder + "/album/inner.png"));
    EXPECT_EQ(values["P1:" + pictureKey], plainValue(localFolder + "/album/inner.png"));
}

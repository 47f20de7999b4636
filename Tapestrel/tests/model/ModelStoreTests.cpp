#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileRepository.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace {

class ModelStore : public TestSupport::TempHomeTest
{
protected:
    QString storePath() const { return home.filePath(QStringLiteral("data/data.sqlite")); }
    std::unique_ptr<ModelContainer> open() { return std::make_unique<ModelContainer>(storePath()); }

    static Profile *makeProfile(ModelContext *context, const QString &name, const QStringList &keys)
    {
        auto *profile = context->insert(std::make_unique<Profile>(name));
        for (const QString &key : keys)
            profile->findOrCreateOption(key)->setValue(key + QStringLiteral("-value"));
        return profile;
    }

    static QStringList keysOf(const Profile *profile)
    {
        QStringList keys;
        for (const Option *option : profile->options())
            keys.append(option->key());
        return keys;
    }

    // Rows counted through a connection of its own, so nothing of the context's state leaks in.
    qint64 rowCount(const QString &table) const
    {
        qint64 count = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
            db.setDatabaseName(storePath());
            db.open();
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("SELECT count(*) FROM ") + table) && query.next())
                count = query.value(0).toLongLong();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("count"));
        return count;
    }
};

} // namespace

TEST_F(ModelStore, SavedRecordsComeBackInOrderAfterReopening)
{
    QString uuid;
    {
        auto container = open();
        ModelContext *context = container->mainContext();
        Profile *work =
            makeProfile(context, QStringLiteral("Work"), {QStringLiteral("b"), QStringLiteral("a")});
        work->setEnabled(false);
        work->options()[0]->setEnabled(false);
        uuid = work->uuid();
        makeProfile(context, QStringLiteral("Home"), {QStringLiteral("c")});
        auto *background = context->insert(std::make_unique<CustomBackground>(
            CustomBackground::Kind::Image, QStringLiteral("{}"), QByteArray("mark")));
        work->addBackground(background);
        EXPECT_TRUE(context->hasChanges());
        context->save();
        EXPECT_FALSE(context->hasChanges());
        EXPECT_GT(work->persistentId(), 0);
    }
    auto container = open();
    ModelContext *context = container->mainContext();
    const QList<Profile *> profiles = context->fetchProfiles();
    ASSERT_EQ(profiles.size(), 2);
    Profile *work = profiles[0];
    EXPECT_EQ(work->uuid(), uuid);
    EXPECT_EQ(work->name(), QStringLiteral("Work"));
    EXPECT_FALSE(work->isEnabled());
    EXPECT_EQ(keysOf(work), (QStringList {QStringLiteral("b"), QStringLiteral("a")}));
    EXPECT_FALSE(work->options()[0]->isEnabled());
    EXPECT_EQ(work->value(QStringLiteral("a")), QStringLiteral("a-value"));
    EXPECT_EQ(work->options()[1]->profile(), work);
    ASSERT_EQ(work->backgrounds().size(), 1);
    EXPECT_EQ(work->backgrounds()[0]->bookmarkData(), std::optional<QByteArray>(QByteArray("mark")));

    // One object per row: fetching again or by uuid gives the same objects.
    EXPECT_EQ(context->fetchProfiles(), profiles);
    EXPECT_EQ(context->fetchProfiles(uuid), QList<Profile *> {work});
    EXPECT_EQ(context->fetchBackgrounds(), work->backgrounds());
    EXPECT_EQ(context->fetchBackgroundsOfType(QStringLiteral("image")), work->backgrounds());
    EXPECT_TRUE(context->fetchBackgroundsOfType(QStringLiteral("color")).isEmpty());
    EXPECT_EQ(context->fetchOptions().size(), 3);
}

TEST_F(ModelStore, DeletesCascadeToOptionsAndLeaveOtherEndsAlone)
{
    {
        auto container = open();
        ModelContext *context = container->mainContext();
        Profile *gone =
            makeProfile(context, QStringLiteral("Gone"), {QStringLiteral("x"), QStringLiteral("y")});
        Profile *kept = makeProfile(context, QStringLiteral("Kept"),
                                    {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        auto *shared = context->insert(
            std::make_unique<CustomBackground>(CustomBackground::Kind::Color, QStringLiteral("{}")));
        auto *unlinked = context->insert(
            std::make_unique<CustomBackground>(CustomBackground::Kind::Color, QStringLiteral("{}")));
        gone->addBackground(shared);
        kept->addBackground(shared);
        kept->addBackground(unlinked);
        context->save();

        QPointer<Option> goneOption = gone->options()[0];
        context->remove(gone);
        EXPECT_EQ(context->fetchProfiles(), QList<Profile *> {kept});
        context->remove(kept->options()[1]);
        EXPECT_EQ(keysOf(kept), (QStringList {QStringLiteral("a"), QStringLiteral("c")}));
        context->remove(unlinked);
        EXPECT_EQ(kept->backgrounds(), QList<CustomBackground *> {shared});
        context->save();
        TestSupport::spinEventLoop(std::chrono::milliseconds(1));
        EXPECT_TRUE(goneOption.isNull());
    }
    EXPECT_EQ(rowCount(QStringLiteral("options")), 2);
    EXPECT_EQ(rowCount(QStringLiteral("custom_backgrounds")), 1);
    EXPECT_EQ(rowCount(QStringLiteral("profile_backgrounds")), 1);

    auto container = open();
    const QList<Profile *> profiles = container->mainContext()->fetchProfiles();
    ASSERT_EQ(profiles.size(), 1);
    EXPECT_EQ(profiles[0]->name(), QStringLiteral("Kept"));
    EXPECT_EQ(keysOf(profiles[0]), (QStringList {QStringLiteral("a"), QStringLiteral("c")}));
    EXPECT_EQ(profiles[0]->backgrounds().size(), 1);
}

TEST_F(ModelStore, ChangesAndReorderingAreSavedAndOtherContextsFollow)
{
    auto container = open();
    ModelContext *main = container->mainContext();
    Profile *profile = makeProfile(main, QStringLiteral("P"), {QStringLiteral("a"), QStringLiteral("b")});
    main->save();

    QSignalSpy mainChanges(main, &ModelContext::objectsChanged);
    auto importer = container->makeContext();
    Profile *imported = importer->fetchProfiles(profile->uuid()).value(0);
    ASSERT_NE(imported, nullptr);
    EXPECT_NE(imported, profile);
    imported->setName(QStringLiteral("Renamed"));
    imported->options()[0]->setValue(QStringLiteral("changed"));
    // Moving the first option to the end.
    Option *first = imported->options()[0];
    first->setProfile(nullptr);
    first->setProfile(imported);
    makeProfile(importer.get(), QStringLiteral("New"), {QStringLiteral("n")});
    importer->save();
    EXPECT_GE(mainChanges.count(), 1);

    // The main context picks up the saved state of rows it has not changed itself.
    const QList<Profile *> profiles = main->fetchProfiles();
    ASSERT_EQ(profiles.size(), 2);
    EXPECT_EQ(profiles[0], profile);
    EXPECT_EQ(profile->name(), QStringLiteral("Renamed"));
    EXPECT_EQ(keysOf(profile), (QStringList {QStringLiteral("b"), QStringLiteral("a")}));
    EXPECT_EQ(profile->value(QStringLiteral("a")), QStringLiteral("changed"));
    EXPECT_EQ(profiles[1]->name(), QStringLiteral("New"));

    // An unsaved change here survives a fetch.
    profile->setName(QStringLiteral("Mine"));
    main->fetchProfiles();
    EXPECT_EQ(profile->name(), QStringLiteral("Mine"));

    // Fetches that follow each other see a write through any other connection, and deletions here.
    EXPECT_EQ(main->fetchProfiles(), profiles);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("outside"));
        db.setDatabaseName(storePath());
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(
            QSqlQuery(db).exec(QStringLiteral("UPDATE profiles SET name = 'Outside' WHERE name = 'New'")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("outside"));
    EXPECT_EQ(main->fetchProfiles(), profiles);
    EXPECT_EQ(profiles[1]->name(), QStringLiteral("Outside"));
    main->remove(profiles[1]);
    EXPECT_EQ(main->fetchProfiles(), QList<Profile *> {profile});
    // ...and this context's own saves.
    main->save();
    Profile *later = makeProfile(main, QStringLiteral("Later"), {QStringLiteral("l")});
    main->save();
    EXPECT_EQ(main->fetchProfiles(), (QList<Profile *> {profile, later}));
    EXPECT_EQ(container->makeContext()->fetchProfiles().size(), 2);

    // Lists of profiles hear of profiles that come and go and of saves, not of options added.
    QSignalSpy objects(main, &ModelContext::objectsChanged);
    QSignalSpy profileLists(main, &ModelContext::profilesChanged);
    later->findOrCreateOption(QStringLiteral("m"));
    EXPECT_EQ(objects.count(), 1);
    EXPECT_EQ(profileLists.count(), 0);
    Profile *third = makeProfile(main, QStringLiteral("Third"), {QStringLiteral("x"), QStringLiteral("y")});
    EXPECT_EQ(profileLists.count(), 1);
    main->remove(third);
    EXPECT_EQ(profileLists.count(), 2);
    main->save();
    EXPECT_EQ(profileLists.count(), 3);
    container->makeContext()->save(); // nothing to write: no signal
    auto other = container->makeContext();
    makeProfile(other.get(), QStringLiteral("Elsewhere"), {});
    other->save();
    EXPECT_EQ(profileLists.count(), 4);

    // A profile that lost all its options here reads back empty once another connection writes.
    for (Option *option : later->options())
        main->remove(option);
    main->save();
    ASSERT_TRUE(later->options().isEmpty());
    other->fetchProfiles().last()->setName(QStringLiteral("Elsewhere too"));
    other->save();
    main->fetchProfiles();
    EXPECT_TRUE(later->options().isEmpty());
}

TEST_F(ModelStore, UnsavedRecordsAndRepositoryLookups)
{
    auto container = open();
    ModelContext *context = container->mainContext();
    ProfileRepository repository(context);
    EXPECT_EQ(repository.profile(QStringLiteral("nobody")), nullptr);

    Profile *a = makeProfile(context, QStringLiteral("A"), {});
    auto duplicate = std::make_unique<Profile>(QStringLiteral("B"));
    duplicate->setUuid(a->uuid());
    Profile *b = context->insert(std::move(duplicate));
    // Pending inserts are found before saving; the uuid is not unique, the first one wins.
    EXPECT_EQ(repository.profile(a->uuid()), a);
    context->save();
    EXPECT_EQ(context->fetchProfiles(a->uuid()), (QList<Profile *> {a, b}));
    EXPECT_EQ(repository.profile(a->uuid()), a);

    // A record inserted and deleted before any save never reaches the store.
    QPointer<Profile> transient = makeProfile(context, QStringLiteral("T"), {QStringLiteral("k")});
    context->remove(transient);
    context->save();
    TestSupport::spinEventLoop(std::chrono::milliseconds(1));
    EXPECT_TRUE(transient.isNull());
    EXPECT_EQ(rowCount(QStringLiteral("profiles")), 2);
    EXPECT_EQ(rowCount(QStringLiteral("options")), 0);

    ProfileRepository orphaned(nullptr);
    EXPECT_EQ(orphaned.profile(a->uuid()), nullptr);
}

TEST_F(ModelStore, AFileThatIsNotAStoreIsReportedAndLeftAlone)
{
    const QByteArray notADatabase("This is a text file, not a database. It must survive untouched.\n");
    home.writeFile(QStringLiteral("data/data.sqlite"), notADatabase);
    try {
        open();
        FAIL() << "opening should fail";
    } catch (const ModelStoreError &error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("not a database")))
            << error.message().toStdString();
    }
    EXPECT_EQ(home.readFile(QStringLiteral("data/data.sqlite")), notADatabase);
    EXPECT_FALSE(QFile::exists(storePath() + QStringLiteral("-wal")));

    // A store written with another schema version is refused too.
    QFile::remove(storePath());
    {
        auto container = open();
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
        db.setDatabaseName(storePath());
        db.open();
        QSqlQuery(db).exec(QStringLiteral("UPDATE metadata SET value = '9.0.0' WHERE key = 'schemaVersion'"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("edit"));
    EXPECT_THROW(open(), ModelStoreError);
}

TEST_F(ModelStore, ManyRecordsInOneSaveComeBackAndAFailedSaveWritesNothing)
{
    // Hundreds of rows per table go through the same statements; each keeps its own values.
    {
        auto container = open();
        ModelContext *context = container->mainContext();
        for (int p = 0; p < 300; ++p) {
            auto *profile = context->insert(std::make_unique<Profile>(QStringLiteral("P%1").arg(p)));
            for (int o = 0; o < 6; ++o)
                profile->findOrCreateOption(QStringLiteral("k%1").arg(o))
                    ->setValue(QStringLiteral("%1/%2").arg(p).arg(o));
            profile->options()[p % 6]->setEnabled(false);
            if (p % 50 == 0) {
                profile->addBackground(context->insert(std::make_unique<CustomBackground>(
                    CustomBackground::Kind::Image, QStringLiteral("{}"), QByteArray(p, 'b'))));
            }
        }
        // A profile without a name is stored with the empty one.
        context->insert(std::make_unique<Profile>());
        context->insert(
            std::make_unique<CustomBackground>(CustomBackground::Kind::Color, QStringLiteral("{}")));
        context->save();
    }
    {
        auto container = open();
        ModelContext *context = container->mainContext();
        const QList<Profile *> profiles = context->fetchProfiles();
        ASSERT_EQ(profiles.size(), 301);
        for (int p = 0; p < 300; ++p) {
            const Profile *profile = profiles[p];
            ASSERT_EQ(profile->name(), QStringLiteral("P%1").arg(p));
            ASSERT_EQ(keysOf(profile), (QStringList {"k0", "k1", "k2", "k3", "k4", "k5"}));
            for (int o = 0; o < 6; ++o) {
                EXPECT_EQ(profile->options()[o]->value(), QStringLiteral("%1/%2").arg(p).arg(o));
                EXPECT_EQ(profile->options()[o]->isEnabled(), o != p % 6);
            }
            EXPECT_EQ(profile->backgrounds().size(), p % 50 == 0 ? 1 : 0);
        }
        EXPECT_EQ(profiles[300]->name(), QString());
        EXPECT_EQ(profiles[100]->backgrounds()[0]->bookmarkData(),
                  std::optional<QByteArray>(QByteArray(100, 'b')));
        // Empty bookmark data stays empty and no bookmark data stays none.
        const QList<CustomBackground *> backgrounds = context->fetchBackgrounds();
        ASSERT_EQ(backgrounds.size(), 7);
        EXPECT_EQ(backgrounds[0]->bookmarkData(), std::optional<QByteArray>(QByteArray()));
        EXPECT_EQ(backgrounds[6]->bookmarkData(), std::nullopt);

        // Deleting every other profile and a few options of the rest in one save.
        for (int p = 0; p < 300; p += 2)
            context->remove(profiles[p]);
        for (int p = 1; p < 300; p += 2)
            context->remove(profiles[p]->options()[0]);
        context->save();
    }
    EXPECT_EQ(rowCount(QStringLiteral("profiles")), 151);
    EXPECT_EQ(rowCount(QStringLiteral("options")), 150 * 5);
    EXPECT_EQ(rowCount(QStringLiteral("custom_backgrounds")), 7);
    EXPECT_EQ(rowCount(QStringLiteral("profile_backgrounds")), 0);

    // A save that fails on its last row writes nothing, keeps its changes pending and succeeds once
    // the cause is gone.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("trigger"));
        db.setDatabaseName(storePath());
        db.open();
        QSqlQuery(db).exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON options WHEN NEW.\"key\" = "
                                          "'refused' BEGIN SELECT RAISE(ABORT, 'refused by the test'); END"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("trigger"));
    auto container = open();
    ModelContext *context = container->mainContext();
    const QList<Profile *> profiles = context->fetchProfiles();
    profiles[0]->setName(QStringLiteral("Changed"));
    context->remove(profiles[1]);
    Option *refused = nullptr;
    for (int p = 0; p < 100; ++p) {
        auto *profile = context->insert(std::make_unique<Profile>(QStringLiteral("New %1").arg(p)));
        refused = profile->findOrCreateOption(QStringLiteral("fine"));
    }
    refused->setKey(QStringLiteral("refused"));
    try {
        context->save();
        FAIL() << "the save should fail";
    } catch (const ModelStoreError &error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("refused by the test")))
            << error.message().toStdString();
    }
    EXPECT_TRUE(context->hasChanges());
    EXPECT_EQ(rowCount(QStringLiteral("profiles")), 151);
    EXPECT_EQ(rowCount(QStringLiteral("options")), 750);
    {
        auto other = container->makeContext();
        EXPECT_EQ(other->fetchProfiles()[0]->name(), QStringLiteral("P1"));
    }

    refused->setKey(QStringLiteral("accepted"));
    context->save();
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(rowCount(QStringLiteral("profiles")), 250);
    EXPECT_EQ(rowCount(QStringLiteral("options")), 745 + 100);
    auto other = container->makeContext();
    const QList<Profile *> stored = other->fetchProfiles();
    EXPECT_EQ(stored[0]->name(), QStringLiteral("Changed"));
    EXPECT_EQ(stored.last()->option(QStringLiteral("accepted"))->profile(), stored.last());
}

TEST_F(ModelStore, RowsNumberedByAnotherWriterAreReadOnceEachAndSaved)
{
    {
        auto container = open();
    }
    // Rows far apart, negative, and an option row numbered before the others of its profile.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("numbering"));
        db.setDatabaseName(storePath());
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        for (const char *sql :
             {"INSERT INTO profiles (id, uuid, name, isEnabled) VALUES (9000000000, 'U-FAR', 'Far', 1), "
              "(-4, 'U-NEG', 'Negative', 0), (3, 'U-NEAR', 'Near', 1)",
              "INSERT INTO options (id, \"key\", \"value\", isEnabled, profile, position) VALUES "
              "(1000000000000000, 'a', 'far a', 1, 9000000000, 0), (2, 'b', 'far b', 0, 9000000000, 1), "
              "(-7, 'a', 'negative a', 1, -4, 0), (5000, 'a', 'near a', 1, 3, 0), (1, 'c', 'near c', 1, 3, "
              "1)"})
            ASSERT_TRUE(query.exec(QString::fromLatin1(sql))) << sql;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("numbering"));

    const auto valuesOf = [](const Profile *profile) {
        QStringList values;
        for (const Option *option : profile->options())
            values.append(option->value());
        return values;
    };
    auto container = open();
    ModelContext *context = container->mainContext();
    const QList<Profile *> profiles = context->fetchProfiles();
    ASSERT_EQ(profiles.size(), 3);
    EXPECT_EQ(profiles[0]->name(), QStringLiteral("Negative"));
    EXPECT_EQ(profiles[1]->name(), QStringLiteral("Near"));
    EXPECT_EQ(profiles[2]->name(), QStringLiteral("Far"));
    EXPECT_EQ(profiles[2]->persistentId(), 9000000000);
    EXPECT_EQ(valuesOf(profiles[0]), QStringList {QStringLiteral("negative a")});
    EXPECT_EQ(valuesOf(profiles[1]), (QStringList {QStringLiteral("near a"), QStringLiteral("near c")}));
    EXPECT_EQ(valuesOf(profiles[2]), (QStringList {QStringLiteral("far a"), QStringLiteral("far b")}));
    const QList<Option *> options = context->fetchOptions();
    ASSERT_EQ(options.size(), 5);
    EXPECT_EQ(options.first()->persistentId(), -7);
    EXPECT_EQ(options.last()->persistentId(), 1000000000000000);

    // Another connection's write makes the next fetch read every row again: the same objects.
    auto other = container->makeContext();
    other->fetchProfiles(QStringLiteral("U-FAR")).value(0)->options()[0]->setValue(QStringLiteral("changed"));
    other->save();
    EXPECT_EQ(context->fetchProfiles(), profiles);
    EXPECT_EQ(context->fetchOptions(), options);
    EXPECT_EQ(profiles[2]->options()[0]->value(), QStringLiteral("changed"));

    // Saving and deleting rows of any number.
    profiles[0]->options()[0]->setValue(QStringLiteral("saved"));
    context->remove(profiles[2]);
    context->save();
    other = container->makeContext();
    const QList<Profile *> stored = other->fetchProfiles();
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(valuesOf(stored[0]), QStringList {QStringLiteral("saved")});
    EXPECT_EQ(valuesOf(stored[1]), (QStringList {QStringLiteral("near a"), QStringLiteral("near c")}));
    EXPECT_EQ(rowCount(QStringLiteral("options")), 3);
}

TEST_F(ModelStore, OptionKeysReadBackExactlyWhereProfilesShareOrDifferInThem)
{
    // Keys that profiles share at the same place, keys that differ there only slightly, keys at
    // other places, and a list longer than most.
    QList<QStringList> lists {
        {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("ä"), QString(), QStringLiteral("same")},
        {QStringLiteral("ab"), QStringLiteral("b"), QStringLiteral("å"), QStringLiteral("x"),
         QStringLiteral("same")},
        {QStringLiteral("a"), QStringLiteral("same")},
        {QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("ä"), QString(), QStringLiteral("samE")},
        {},
        {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("ä"), QString(), QStringLiteral("same")},
    };
    QStringList many;
    for (int k = 0; k < 300; ++k)
        many.append(QStringLiteral("key %1").arg(k % 280));
    lists.append(many);
    lists.append(many.mid(1));
    {
        auto container = open();
        ModelContext *context = container->mainContext();
        for (const QStringList &keys : std::as_const(lists)) {
            auto *profile = context->insert(std::make_unique<Profile>());
            // Options made one by one: findOrCreateOption() would merge the repeated keys.
            for (const QString &key : keys)
                new Option(key, key + QStringLiteral("!"), profile);
        }
        context->save();
    }
    auto container = open();
    const QList<Profile *> profiles = container->mainContext()->fetchProfiles();
    ASSERT_EQ(profiles.size(), lists.size());
    for (qsizetype p = 0; p < profiles.size(); ++p) {
        EXPECT_EQ(keysOf(profiles[p]), lists[p]) << "profile " << p;
        for (const Option *option : profiles[p]->options())
            EXPECT_EQ(option->value(), option->key() + QStringLiteral("!")) << "profile " << p;
    }
}

TEST_F(ModelStore, AnOptionRowTakenOverElsewhereMovesItsObjectToTheNewProfile)
{
    auto container = open();
    ModelContext *main = container->mainContext();
    Profile *kept = makeProfile(main, QStringLiteral("Kept"), {QStringLiteral("k")});
    main->save();
    QPointer<Profile> gone = makeProfile(main, QStringLiteral("Gone"), {QStringLiteral("g")});
    main->save();
    QPointer<Option> moved = gone->options()[0];

    // Another connection deletes the profile; the store gives its option's row number to the next
    // option it stores, which belongs to another profile.
    auto other = container->makeContext();
    const QList<Profile *> elsewhere = other->fetchProfiles();
    other->remove(elsewhere[1]);
    other->save();
    elsewhere[0]->findOrCreateOption(QStringLiteral("new"))->setValue(QStringLiteral("from elsewhere"));
    other->save();

    QSignalSpy goneOptions(gone.data(), &Profile::optionsChanged);
    EXPECT_EQ(main->fetchProfiles(), QList<Profile *> {kept});
    ASSERT_FALSE(moved.isNull());
    EXPECT_EQ(kept->options().size(), 2);
    EXPECT_EQ(kept->options().value(1), moved.data());
    EXPECT_EQ(moved->profile(), kept);
    EXPECT_EQ(moved->key(), QStringLiteral("new"));
    EXPECT_EQ(moved->value(), QStringLiteral("from elsewhere"));
    ASSERT_FALSE(gone.isNull());
    EXPECT_TRUE(gone->options().isEmpty());
    EXPECT_EQ(goneOptions.count(), 1);
}

// Changes to a profile whose row another connection deleted meanwhile (as a restore that moves or
// replaces it does) are not written, nor options into it: the save writes the rest and the next ones
// go on, where they would fail for good naming a row that is not there.
TEST_F(ModelStore, ChangesToRowsDeletedElsewhereAreDroppedAndTheRestIsSaved)
{
    auto container = open();
    ModelContext *main = container->mainContext();
    Profile *kept = makeProfile(main, QStringLiteral("Kept"), {QStringLiteral("k")});
    Profile *gone = makeProfile(main, QStringLiteral("Gone"), {QStringLiteral("g")});
    CustomBackground *background =
        main->insert(std::make_unique<CustomBackground>(CustomBackground::Kind::Color, "x"));
    main->save();

    gone->setName(QStringLiteral("Renamed"));
    gone->option(QStringLiteral("g"))->setValue(QStringLiteral("changed"));
    gone->findOrCreateOption(QStringLiteral("n"))->setValue(QStringLiteral("new"));
    kept->setName(QStringLiteral("Kept too"));
    kept->addBackground(background);
    auto other = container->makeContext();
    other->remove(other->fetchProfiles()[1]);
    other->remove(other->fetchBackgrounds()[0]);
    other->save();

    EXPECT_NO_THROW(main->save());
    EXPECT_FALSE(main->hasChanges());
    kept->option(QStringLiteral("k"))->setValue(QStringLiteral("later"));
    EXPECT_NO_THROW(main->save());
    auto reader = container->makeContext();
    const QList<Profile *> stored = reader->fetchProfiles();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0]->name(), QStringLiteral("Kept too"));
    EXPECT_EQ(stored[0]->value(QStringLiteral("k")), QStringLiteral("later"));
    EXPECT_TRUE(stored[0]->backgrounds().isEmpty());
    EXPECT_EQ(rowCount(QStringLiteral("options")), 1);
}

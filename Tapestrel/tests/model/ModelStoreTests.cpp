#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileRepository.h"
#include "Tapestrel/model/RecordForms.h"
#include "Tapestrel/model/RowMoves.h"
#include "Tapestrel/model/StoreMerge.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

using TestSupport::runTask;

namespace {

class ModelStore : public TestSupport::TempHomeTest
{
protected:
    QString storePath() const { return home.filePath("data/data.sqlite"); }
    std::unique_ptr<ModelContainer> open() { return std::make_unique<ModelContainer>(storePath()); }

    static Profile *makeProfile(ModelContext *context, const QString &name, const QStringList &keys)
    {
        auto *profile = context->insert(std::make_unique<Profile>(name));
        for (const QString &key : keys)
            profile->findOrCreateOption(key)->setValue(key + "-value");
        return profile;
    }

    // One part of each option of the profile, in their order.
    static QStringList keysOf(const Profile *profile, QString (Option::*part)() const = &Option::key)
    {
        QStringList keys;
        for (const Option *option : profile->options())
            keys.append((option->*part)());
        return keys;
    }

    // Runs a statement through a connection of its own: the first value it yields, or whether it ran.
    QVariant sql(const QString &statement) const
    {
        QVariant result = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "outside");
            db.setDatabaseName(storePath());
            if (db.open()) {
                QSqlQuery query(db);
                if (query.exec(statement))
                    result = query.next() ? query.value(0) : QVariant(true);
            }
        }
        QSqlDatabase::removeDatabase("outside");
        return result;
    }
    qint64 rowCount(const QString &table) const { return sql("SELECT count(*) FROM " + table).toLongLong(); }

    // The message of the store error `run` throws; none when it throws none.
    static QString storeError(const std::function<void()> &run)
    {
        try {
            run();
        } catch (const ModelStoreError &error) {
            return error.message();
        }
        return {};
    }
};

} // namespace

TEST_F(ModelStore, DeletesCascadeToOptionsAndLeaveOtherEndsAlone)
{
    {
        auto container = open();
        ModelContext *context = container->mainContext();
        Profile *gone = makeProfile(context, "Gone", {"x", "y"});
        Profile *kept = makeProfile(context, "Kept", {"a", "b", "c"});
        auto *shared =
            context->insert(std::make_unique<CustomBackground>(CustomBackground::Kind::Color, "{}"));
        auto *unlinked =
            context->insert(std::make_unique<CustomBackground>(CustomBackground::Kind::Color, "{}"));
        gone->addBackground(shared);
        kept->addBackground(shared);
        kept->addBackground(unlinked);
        context->save();

        QPointer<Option> goneOption = gone->options()[0];
        context->remove(gone);
        EXPECT_EQ(context->fetchProfiles(), QList<Profile *> {kept});
        context->remove(kept->options()[1]);
        EXPECT_EQ(keysOf(kept), (QStringList {"a", "c"}));
        context->remove(unlinked);
        EXPECT_EQ(kept->backgrounds(), QList<CustomBackground *> {shared});
        context->save();
        TestSupport::spinEventLoop(std::chrono::milliseconds(1));
        EXPECT_TRUE(goneOption.isNull());
    }
    EXPECT_EQ(rowCount("options"), 2);
    EXPECT_EQ(rowCount("custom_backgrounds"), 1);
    EXPECT_EQ(rowCount("profile_backgrounds"), 1);

    auto container = open();
    const QList<Profile *> profiles = container->mainContext()->fetchProfiles();
    ASSERT_EQ(profiles.size(), 1);
    EXPECT_EQ(profiles[0]->name(), "Kept");
    EXPECT_EQ(keysOf(profiles[0]), (QStringList {"a", "c"}));
    ASSERT_EQ(profiles[0]->backgrounds().size(), 1);

    // A link undone here is that profile's alone: another's to the same background stays.
    ModelContext *context = container->mainContext();
    CustomBackground *shared = profiles[0]->backgrounds()[0];
    makeProfile(context, "Other", {})->addBackground(shared);
    context->save();
    profiles[0]->removeBackground(shared);
    context->save();
    EXPECT_EQ(rowCount("profile_backgrounds"), 1);
}

TEST_F(ModelStore, ChangesAndReorderingAreSavedAndOtherContextsFollow)
{
    auto container = open();
    ModelContext *main = container->mainContext();
    Profile *profile = makeProfile(main, "P", {"a", "b"});
    main->save();

    QSignalSpy mainChanges(main, &ModelContext::objectsChanged);
    auto importer = container->makeContext();
    Profile *imported = importer->fetchProfiles(profile->uuid()).value(0);
    ASSERT_NE(imported, nullptr);
    EXPECT_NE(imported, profile);
    imported->setName("Renamed");
    imported->options()[0]->setValue("changed");
    Option *first = imported->options()[0];
    first->setProfile(nullptr);
    first->setProfile(imported);
    makeProfile(importer.get(), "New", {"n"});
    importer->save();
    EXPECT_GE(mainChanges.count(), 1);

    const QList<Profile *> profiles = main->fetchProfiles();
    ASSERT_EQ(profiles.size(), 2);
    EXPECT_EQ(profiles[0], profile);
    EXPECT_EQ(profile->name(), "Renamed");
    EXPECT_EQ(keysOf(profile), (QStringList {"b", "a"}));
    EXPECT_EQ(profile->value("a"), "changed");
    EXPECT_EQ(profiles[1]->name(), "New");

    profile->setName("Mine");
    main->fetchProfiles();
    EXPECT_EQ(profile->name(), "Mine");

    // Fetches that follow each other see a write through any other connection, and deletions here.
    EXPECT_EQ(main->fetchProfiles(), profiles);
    ASSERT_TRUE(sql("UPDATE profiles SET name = 'Outside' WHERE name = 'New'").toBool());
    EXPECT_EQ(main->fetchProfiles(), profiles);
    EXPECT_EQ(profiles[1]->name(), "Outside");
    main->remove(profiles[1]);
    EXPECT_EQ(main->fetchProfiles(), QList<Profile *> {profile});
    main->save();
    Profile *later = makeProfile(main, "Later", {"l"});
    main->save();
    EXPECT_EQ(main->fetchProfiles(), (QList<Profile *> {profile, later}));
    EXPECT_EQ(container->makeContext()->fetchProfiles().size(), 2);

    QSignalSpy objects(main, &ModelContext::objectsChanged);
    QSignalSpy profileLists(main, &ModelContext::profilesChanged);
    later->findOrCreateOption("m");
    EXPECT_EQ(objects.count(), 1);
    EXPECT_EQ(profileLists.count(), 0);
    // A profile made and removed before a save is never written, its options neither.
    QPointer<Profile> third = makeProfile(main, "Third", {"x", "y"});
    EXPECT_EQ(profileLists.count(), 1);
    main->remove(third);
    EXPECT_EQ(profileLists.count(), 2);
    main->save();
    EXPECT_EQ(profileLists.count(), 3);
    TestSupport::spinEventLoop(std::chrono::milliseconds(1));
    EXPECT_TRUE(third.isNull());
    EXPECT_EQ(rowCount("profiles"), 2);
    EXPECT_EQ(rowCount("options"), 4);
    container->makeContext()->save(); // nothing to write: no signal
    auto other = container->makeContext();
    makeProfile(other.get(), "Elsewhere", {});
    other->save();
    EXPECT_EQ(profileLists.count(), 4);

    // A profile that lost all its options here reads back empty once another connection writes.
    for (Option *option : later->options())
        main->remove(option);
    main->save();
    ASSERT_TRUE(later->options().isEmpty());
    other->fetchProfiles().last()->setName("Elsewhere too");
    other->save();
    main->fetchProfiles();
    EXPECT_TRUE(later->options().isEmpty());
}

TEST_F(ModelStore, PendingProfilesAreFoundByUuidAndTheFirstOfTwoWins)
{
    auto container = open();
    ModelContext *context = container->mainContext();
    ProfileRepository repository(context);

    Profile *a = makeProfile(context, "A", {});
    auto duplicate = std::make_unique<Profile>("B");
    duplicate->setUuid(a->uuid());
    Profile *b = context->insert(std::move(duplicate));
    // Pending inserts are found before saving; the uuid is not unique, the first one wins.
    EXPECT_EQ(repository.profile(a->uuid()), a);
    context->save();
    EXPECT_EQ(context->fetchProfiles(a->uuid()), (QList<Profile *> {a, b}));
    EXPECT_EQ(repository.profile(a->uuid()), a);
}

TEST_F(ModelStore, AFileThatIsNotAStoreIsReportedAndLeftAlone)
{
    const QByteArray notADatabase("This is a text file, not a database. It must survive untouched.\n");
    home.writeFile("data/data.sqlite", notADatabase);
    EXPECT_TRUE(storeError([&] { open(); }).contains("not a database"));
    EXPECT_EQ(home.readFile("data/data.sqlite"), notADatabase);
    EXPECT_FALSE(QFile::exists(storePath() + "-wal"));

    QFile::remove(storePath());
    {
        auto container = open();
    }
    ASSERT_TRUE(sql("UPDATE metadata SET value = '9.0.0' WHERE key = 'schemaVersion'").toBool());
    EXPECT_FALSE(storeError([&] { open(); }).isEmpty());

    // A version that cannot be read is the reason, not a sign of a new store to be made.
    ASSERT_TRUE(sql("DROP TABLE metadata").toBool());
    ASSERT_TRUE(sql("CREATE TABLE metadata (key TEXT)").toBool());
    EXPECT_TRUE(storeError([&] { open(); }).contains("no such column: value"));
}

TEST_F(ModelStore, ManyRecordsInOneSaveComeBackAfterReopeningAndAFailedSaveWritesNothing)
{
    // Keys in no sorted order; every value, flag and link its own.
    const QStringList keys {"k5", "k4", "k3", "k2", "k1", "k0"};
    QStringList uuids;
    {
        auto container = open();
        ModelContext *context = container->mainContext();
        for (int p = 0; p < 300; ++p) {
            auto *profile = context->insert(std::make_unique<Profile>(QStringLiteral("P%1").arg(p)));
            uuids.append(profile->uuid());
            profile->setEnabled(p % 7 != 3);
            for (int o = 0; o < 6; ++o)
                profile->findOrCreateOption(keys[o])->setValue(QStringLiteral("%1/%2").arg(p).arg(o));
            profile->options()[p % 6]->setEnabled(false);
            if (p % 50 == 0) {
                profile->addBackground(context->insert(std::make_unique<CustomBackground>(
                    CustomBackground::Kind::Image, "{}", QByteArray(p, 'b'))));
            }
        }
        context->insert(std::make_unique<Profile>());
        context->insert(std::make_unique<CustomBackground>(CustomBackground::Kind::Color, "{}"));
        context->save();
    }
    {
        auto container = open();
        ModelContext *context = container->mainContext();
        // A profile fetched alone reads its options in their order too.
        ASSERT_EQ(keysOf(context->fetchProfiles(uuids[7]).value(0)), keys);
        const QList<Profile *> profiles = context->fetchProfiles();
        ASSERT_EQ(profiles.size(), 301);
        for (int p = 0; p < 300; ++p) {
            const Profile *profile = profiles[p];
            ASSERT_EQ(profile->name(), QStringLiteral("P%1").arg(p));
            EXPECT_EQ(profile->uuid(), uuids[p]);
            EXPECT_EQ(profile->isEnabled(), p % 7 != 3);
            ASSERT_EQ(keysOf(profile), keys);
            for (int o = 0; o < 6; ++o) {
                EXPECT_EQ(profile->options()[o]->value(), QStringLiteral("%1/%2").arg(p).arg(o));
                EXPECT_EQ(profile->options()[o]->isEnabled(), o != p % 6);
                EXPECT_EQ(profile->options()[o]->profile(), profile);
            }
            EXPECT_EQ(profile->backgrounds().size(), p % 50 == 0 ? 1 : 0);
        }
        EXPECT_EQ(profiles[300]->name(), QString());
        EXPECT_EQ(profiles[100]->backgrounds()[0]->bookmarkData(),
                  std::optional<QByteArray>(QByteArray(100, 'b')));
        const QList<CustomBackground *> backgrounds = context->fetchBackgrounds();
        ASSERT_EQ(backgrounds.size(), 7);
        EXPECT_EQ(backgrounds[0]->bookmarkData(), std::optional<QByteArray>(QByteArray()));
        EXPECT_EQ(backgrounds[6]->bookmarkData(), std::nullopt);
        // One object per row, however fetched.
        EXPECT_EQ(context->fetchProfiles(), profiles);
        EXPECT_EQ(context->fetchProfiles(uuids[50]), QList<Profile *> {profiles[50]});
        EXPECT_EQ(profiles[100]->backgrounds()[0], backgrounds[2]);
        EXPECT_EQ(context->fetchBackgroundsOfType("image"), backgrounds.first(6));
        EXPECT_EQ(context->fetchBackgroundsOfType("color"), backgrounds.mid(6));
        EXPECT_EQ(context->fetchOptions().size(), 1800);

        for (int p = 0; p < 300; p += 2)
            context->remove(profiles[p]);
        for (int p = 1; p < 300; p += 2)
            context->remove(profiles[p]->options()[0]);
        context->save();
    }
    EXPECT_EQ(rowCount("profiles"), 151);
    EXPECT_EQ(rowCount("options"), 150 * 5);
    EXPECT_EQ(rowCount("custom_backgrounds"), 7);
    EXPECT_EQ(rowCount("profile_backgrounds"), 0);

    // A save that fails on its last row writes nothing, keeps its changes and succeeds later.
    ASSERT_TRUE(sql("CREATE TRIGGER refuse BEFORE INSERT ON options WHEN NEW.\"key\" = 'refused' "
                    "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END")
                    .toBool());
    auto container = open();
    ModelContext *context = container->mainContext();
    const QList<Profile *> profiles = context->fetchProfiles();
    profiles[0]->setName("Changed");
    context->remove(profiles[1]);
    Option *refused = nullptr;
    for (int p = 0; p < 100; ++p) {
        auto *profile = context->insert(std::make_unique<Profile>(QStringLiteral("New %1").arg(p)));
        refused = profile->findOrCreateOption("fine");
    }
    refused->setKey("refused");
    EXPECT_TRUE(storeError([&] { context->save(); }).contains("refused by the test"));
    EXPECT_TRUE(context->hasChanges());
    EXPECT_EQ(rowCount("profiles"), 151);
    EXPECT_EQ(rowCount("options"), 750);
    {
        auto other = container->makeContext();
        EXPECT_EQ(other->fetchProfiles()[0]->name(), "P1");
    }

    refused->setKey("accepted");
    context->save();
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(rowCount("profiles"), 250);
    EXPECT_EQ(rowCount("options"), 745 + 100);
    auto other = container->makeContext();
    const QList<Profile *> stored = other->fetchProfiles();
    EXPECT_EQ(stored[0]->name(), "Changed");
    EXPECT_EQ(stored.last()->option("accepted")->profile(), stored.last());
}

TEST_F(ModelStore, RowsNumberedByAnotherWriterAreReadOnceEachAndSaved)
{
    {
        auto container = open();
    }
    // Rows far apart, negative, and an option row numbered before the others of its profile.
    for (const char *statement :
         {"INSERT INTO profiles (id, uuid, name, isEnabled) VALUES (9000000000, 'U-FAR', 'Far', 1), "
          "(-4, 'U-NEG', 'Negative', 0), (3, 'U-NEAR', 'Near', 1)",
          "INSERT INTO options (id, \"key\", \"value\", isEnabled, profile, position) VALUES "
          "(1000000000000000, 'a', 'far a', 1, 9000000000, 0), (2, 'b', 'far b', 0, 9000000000, 1), "
          "(-7, 'a', 'negative a', 1, -4, 0), (5000, 'a', 'near a', 1, 3, 0), (1, 'c', 'near c', 1, 3, "
          "1)"})
        ASSERT_TRUE(sql(statement).toBool()) << statement;

    const auto valuesOf = [](const Profile *profile) {
        return keysOf(profile, &Option::value);
    };
    auto container = open();
    ModelContext *context = container->mainContext();
    const QList<Profile *> profiles = context->fetchProfiles();
    ASSERT_EQ(profiles.size(), 3);
    EXPECT_EQ(profiles[0]->name(), "Negative");
    EXPECT_EQ(profiles[1]->name(), "Near");
    EXPECT_EQ(profiles[2]->name(), "Far");
    EXPECT_EQ(profiles[2]->persistentId(), 9000000000);
    EXPECT_EQ(valuesOf(profiles[0]), QStringList {"negative a"});
    EXPECT_EQ(valuesOf(profiles[1]), (QStringList {"near a", "near c"}));
    EXPECT_EQ(valuesOf(profiles[2]), (QStringList {"far a", "far b"}));
    const QList<Option *> options = context->fetchOptions();
    ASSERT_EQ(options.size(), 5);
    EXPECT_EQ(options.first()->persistentId(), -7);
    EXPECT_EQ(options.last()->persistentId(), 1000000000000000);

    // Another connection's write makes the next fetch read every row again: the same objects.
    auto other = container->makeContext();
    other->fetchProfiles("U-FAR").value(0)->options()[0]->setValue("changed");
    other->save();
    EXPECT_EQ(context->fetchProfiles(), profiles);
    EXPECT_EQ(context->fetchOptions(), options);
    EXPECT_EQ(profiles[2]->options()[0]->value(), "changed");

    profiles[0]->options()[0]->setValue("saved");
    context->remove(profiles[2]);
    context->save();
    other = container->makeContext();
    const QList<Profile *> stored = other->fetchProfiles();
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(valuesOf(stored[0]), QStringList {"saved"});
    EXPECT_EQ(valuesOf(stored[1]), (QStringList {"near a", "near c"}));
    EXPECT_EQ(rowCount("options"), 3);
}

TEST_F(ModelStore, OptionKeysReadBackExactlyWhereProfilesShareOrDifferInThem)
{
    QList<QStringList> lists {
        {"a", "b", "ä", QString(), "same"},
        {"ab", "b", "å", "x", "same"},
        {"a", "same"},
        {"A", "b", "ä", QString(), "samE"},
        {},
        {"a", "b", "ä", QString(), "same"},
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
                new Option(key, key + "!", profile);
        }
        context->save();
    }
    auto container = open();
    const QList<Profile *> profiles = container->mainContext()->fetchProfiles();
    ASSERT_EQ(profiles.size(), lists.size());
    for (qsizetype p = 0; p < profiles.size(); ++p) {
        EXPECT_EQ(keysOf(profiles[p]), lists[p]) << "profile " << p;
        for (const Option *option : profiles[p]->options())
            EXPECT_EQ(option->value(), option->key() + "!") << "profile " << p;
    }
}

TEST_F(ModelStore, AnOptionRowTakenOverElsewhereMovesItsObjectToTheNewProfile)
{
    auto container = open();
    ModelContext *main = container->mainContext();
    Profile *kept = makeProfile(main, "Kept", {"k"});
    main->save();
    QPointer<Profile> gone = makeProfile(main, "Gone", {"g"});
    main->save();
    QPointer<Option> moved = gone->options()[0];

    // Another connection deletes the profile; its option row number goes to an option of another profile.
    auto other = container->makeContext();
    const QList<Profile *> elsewhere = other->fetchProfiles();
    other->remove(elsewhere[1]);
    other->save();
    elsewhere[0]->findOrCreateOption("new")->setValue("from elsewhere");
    other->save();

    QSignalSpy goneOptions(gone.data(), &Profile::optionsChanged);
    EXPECT_EQ(main->fetchProfiles(), QList<Profile *> {kept});
    ASSERT_FALSE(moved.isNull());
    EXPECT_EQ(kept->options().size(), 2);
    EXPECT_EQ(kept->options().value(1), moved.data());
    EXPECT_EQ(moved->profile(), kept);
    EXPECT_EQ(moved->key(), "new");
    EXPECT_EQ(moved->value(), "from elsewhere");
    ASSERT_FALSE(gone.isNull());
    EXPECT_TRUE(gone->options().isEmpty());
    EXPECT_EQ(goneOptions.count(), 1);
}

// Changes to rows another connection deleted (as a restore does) are dropped; the rest is saved.
TEST_F(ModelStore, ChangesToRowsDeletedElsewhereAreDroppedAndTheRestIsSaved)
{
    auto container = open();
    ModelContext *main = container->mainContext();
    Profile *kept = makeProfile(main, "Kept", {"k"});
    Profile *gone = makeProfile(main, "Gone", {"g"});
    CustomBackground *background =
        main->insert(std::make_unique<CustomBackground>(CustomBackground::Kind::Color, "x"));
    main->save();

    gone->setName("Renamed");
    gone->option("g")->setValue("changed");
    gone->findOrCreateOption("n")->setValue("new");
    kept->setName("Kept too");
    kept->addBackground(background);
    auto other = container->makeContext();
    other->remove(other->fetchProfiles()[1]);
    other->remove(other->fetchBackgrounds()[0]);
    other->save();

    EXPECT_NO_THROW(main->save());
    EXPECT_FALSE(main->hasChanges());
    kept->option("k")->setValue("later");
    EXPECT_NO_THROW(main->save());
    auto reader = container->makeContext();
    const QList<Profile *> stored = reader->fetchProfiles();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0]->name(), "Kept too");
    EXPECT_EQ(stored[0]->value("k"), "later");
    EXPECT_TRUE(stored[0]->backgrounds().isEmpty());
    EXPECT_EQ(rowCount("options"), 1);
}

// Abandoned at the program's end, a merge that holds the merge thread stores nothing, neither does one
// queued behind it, and an edit that waited for them is written at once, as is one made afterwards
// while something still holds the saves back.
TEST_F(ModelStore, AbandonedMergesStoreNothingAndEditsAreWrittenAtOnce)
{
    auto container = open();
    ModelContext *main = container->mainContext();
    Profile *profile = makeProfile(main, "Mine", {"a"});
    main->save();
    const std::shared_ptr<void> hold = container->holdSaves();
    QSemaphore held;
    QCoro::Task<void> holding = container->merge(
        [&held, form = ProfileForm {profile->uuid(), "Held", true, {}}](const QString &path) {
            held.acquire();
            return StoreMerge::merge(path, {form}, {}, true);
        });
    QCoro::Task<void> queued =
        container->merge([form = ProfileForm {profile->uuid(), "Queued", true, {}}](const QString &path) {
            return StoreMerge::merge(path, {form}, {}, true);
        });
    profile->setName("Edited");
    main->save();
    container->abandonMergesAndSave();
    const auto storedName = [&] {
        return container->makeContext()->fetchProfiles().value(0)->name();
    };
    EXPECT_EQ(storedName(), "Edited");
    profile->option("a")->setValue("after");
    main->save();
    EXPECT_FALSE(main->hasChanges());
    held.release();
    EXPECT_ANY_THROW(runTask(std::move(holding)));
    EXPECT_ANY_THROW(runTask(std::move(queued)));
    EXPECT_EQ(storedName(), "Edited");
}

// Merges queued behind one that holds the merge thread may all have written the store before the
// first one's end is handled: every context follows each of them, in order, before anyone reads the
// store (here, windows that read on every change), and the edits that waited are stored after them.
TEST_F(ModelStore, EditsWaitingForQueuedMergesAreStoredAfterAllOfThem)
{
    auto container = open();
    ModelContext *main = container->mainContext();
    Profile *profile = makeProfile(main, "Mine", {"a", "b", "c"});
    main->save();
    auto other = container->makeContext();
    QObject windows;
    for (ModelContext *context : {main, other.get()})
        QObject::connect(context, &ModelContext::objectsChanged, &windows,
                         [context] { context->fetchProfiles(); });
    const auto merging = [&](const QString &name, const QStringList &keys) {
        ProfileForm form {profile->uuid(), name, true, {}};
        for (const QString &key : keys)
            form.options.append({key, name, true});
        return container->merge(
            [form](const QString &path) { return StoreMerge::merge(path, {form}, {}, true); });
    };
    QSemaphore held;
    QSemaphore queued;
    QCoro::Task<void> holding = container->merge([&held](const QString &) {
        held.acquire();
        return RowMoves {};
    });
    QCoro::Task<void> restoring = merging("Restored", {"a", "b", "c"});
    // Drops the options that both contexts change meanwhile.
    QCoro::Task<void> importing = merging("Imported", {"a"});
    QCoro::Task<void> last = container->merge([&queued](const QString &) {
        queued.release();
        return RowMoves {};
    });
    profile->option("b")->setValue("main");
    main->save();
    other->fetchProfiles()[0]->option("c")->setValue("other");
    other->save();

    held.release();
    // The merges before the last have ended, not yet handled.
    queued.acquire();
    // A read before their ends are handled.
    main->fetchProfiles();
    // Reads follow the last merge too once its work is done, before its end is handled: the saves that
    // waited are still to be written, and are once mergesOver() ends.
    QElapsedTimer clock;
    clock.start();
    while (container->isMerging() && clock.elapsed() < 10'000) {
        QThread::msleep(1);
        other->fetchProfiles();
    }
    runTask(container->mergesOver());
    EXPECT_FALSE(main->hasChanges());
    EXPECT_FALSE(other->hasChanges());
    for (QCoro::Task<void> *task : {&holding, &restoring, &importing, &last})
        runTask(std::move(*task));
    auto reader = container->makeContext();
    for (ModelContext *context : {main, other.get(), reader.get()}) {
        const Profile *stored = context->fetchProfiles().value(0);
        ASSERT_TRUE(stored);
        QStringList options;
        for (const Option *option : stored->options())
            options.append(option->key() + '=' + option->value());
        EXPECT_EQ(stored->name() + ": " + options.join(' '), "Imported: a=Imported b=main c=other");
    }
}

// The window and another writer (a second instance on the same home, sqlite3, a restore's merge) change
// different fields of one profile, its option's among them and its links to backgrounds; whichever saves
// last, both changes are stored, and the window shows both after its next read, also before it saves.
TEST_F(ModelStore, TwoWritersChangingDifferentFieldsOfAProfileBothKeepTheirChanges)
{
    // Each as "<field>=<value>": the profile's name and switch, its option's value and switch, and whether
    // the backgrounds A, B and C are linked to it (a merge links nothing). The window may also link A and
    // undo it before it saves ("A=~"), which changes nothing.
    const QStringList fields {"name=Renamed", "enabled=0", "a=changed", "a.on=0", "A=1", "B=1", "C=0"};
    const auto change = [](ModelContext *context, Profile *profile, const QString &edit) {
        const QString field = edit.section('=', 0, 0);
        const QString value = edit.section('=', 1);
        if (field == "name")
            profile->setName(value);
        else if (field == "enabled")
            profile->setEnabled(value == "1");
        else if (field == "a")
            profile->option("a")->setValue(value);
        else if (field == "a.on")
            profile->option("a")->setEnabled(value == "1");
        else if (value == "~") {
            profile->addBackground(context->fetchBackgroundsWithUuid(field).value(0));
            profile->removeBackground(context->fetchBackgroundsWithUuid(field).value(0));
        } else if (value == "1")
            profile->addBackground(context->fetchBackgroundsWithUuid(field).value(0));
        else
            profile->removeBackground(context->fetchBackgroundsWithUuid(field).value(0));
    };
    const auto changeBySql = [this](const QString &edit) {
        const QString field = edit.section('=', 0, 0);
        const QString value = edit.section('=', 1);
        const QString background = "(SELECT id FROM custom_backgrounds WHERE uuid = '" + field + "')";
        const QString statement = field == "name" ? "UPDATE profiles SET name = '" + value + "'"
            : field == "enabled"                  ? "UPDATE profiles SET isEnabled = " + value
            : field == "a"                        ? "UPDATE options SET \"value\" = '" + value + "'"
            : field == "a.on"                     ? "UPDATE options SET isEnabled = " + value
            : value == "1" ? "INSERT INTO profile_backgrounds SELECT id, " + background + " FROM profiles"
                           : "DELETE FROM profile_backgrounds WHERE background = " + background;
        ASSERT_TRUE(sql(statement).toBool()) << statement.toStdString();
    };
    const auto state = [](const Profile *profile) {
        QStringList linked;
        for (const CustomBackground *background : profile->backgrounds())
            linked.append(background->uuid());
        QStringList state {"name=" + profile->name(),
                           QStringLiteral("enabled=%1").arg(int(profile->isEnabled())),
                           "a=" + profile->value("a"),
                           QStringLiteral("a.on=%1").arg(int(profile->option("a")->isEnabled()))};
        for (const QString uuid : {"A", "B", "C"})
            state.append(uuid + QStringLiteral("=%1").arg(int(linked.contains(uuid))));
        return state.join(' ').toStdString();
    };
    enum class Writer { instance, sqlite, merge };
    for (const Writer writer : {Writer::instance, Writer::sqlite, Writer::merge}) {
        for (const bool windowLast : {true, false}) {
            for (const QString &mine : fields + QStringList {"A=~"}) {
                for (const QString &theirs : fields) {
                    // A merge replaces the profile where it is, while the window's change waits.
                    if (mine == theirs
                        || (writer == Writer::merge && (theirs.front().isUpper() || !windowLast)))
                        continue;
                    SCOPED_TRACE(
                        QStringLiteral("%1 %2, the window %3 and saved %4")
                            .arg(QStringList {"a second instance", "sqlite3", "a merge"}[int(writer)], theirs,
                                 mine, windowLast ? "last" : "first")
                            .toStdString());
                    for (const char *suffix : {"", "-wal", "-shm"})
                        QFile::remove(storePath() + suffix);
                    auto container = open();
                    ModelContext *window = container->mainContext();
                    Profile *profile = makeProfile(window, "P", {"a"});
                    for (const QString uuid : {"A", "B", "C"}) {
                        auto *background = window->insert(
                            std::make_unique<CustomBackground>(CustomBackground::Kind::Color, "{}"));
                        background->setUuid(uuid);
                        if (uuid == "C")
                            profile->addBackground(background);
                    }
                    window->save();
                    // Theirs, then mine; a merge's profile links nothing.
                    QStringList edited = QString::fromStdString(state(profile)).split(' ');
                    QStringList edits {theirs};
                    if (writer == Writer::merge)
                        edits << "A=0"
                              << "B=0"
                              << "C=0";
                    if (!mine.endsWith('~'))
                        edits << mine;
                    for (const QString &edit : std::as_const(edits))
                        edited.replaceInStrings(QRegularExpression("^" + edit.section('=', 0, 0) + "=.*"),
                                                edit);
                    const std::string expected = edited.join(' ').toStdString();

                    auto instance = writer == Writer::instance ? open() : nullptr;
                    ModelContext *other = instance ? instance->mainContext() : nullptr;
                    Profile *theirProfile = other ? other->fetchProfiles().value(0) : nullptr;
                    ProfileForm form = ProfileForm::of(*profile);
                    change(window, profile, mine);
                    if (other)
                        change(other, theirProfile, theirs);
                    if (!windowLast)
                        window->save();
                    if (writer == Writer::instance) {
                        other->save();
                    } else if (writer == Writer::sqlite) {
                        changeBySql(theirs);
                    } else {
                        const QString value = theirs.section('=', 1);
                        if (theirs.startsWith("name="))
                            form.name = value;
                        else if (theirs.startsWith("enabled="))
                            form.isEnabled = value == "1";
                        else if (theirs.startsWith("a="))
                            form.options[0].value = value;
                        else
                            form.options[0].isEnabled = value == "1";
                        runTask(container->merge([form](const QString &path) {
                            return StoreMerge::merge(path, {form}, {}, true);
                        }));
                    }
                    if (windowLast) {
                        window->fetchProfiles();
                        EXPECT_EQ(state(profile), expected) << "before the window's save";
                        window->save();
                    }
                    EXPECT_EQ(state(container->makeContext()->fetchProfiles().value(0)), expected);
                    window->fetchProfiles();
                    EXPECT_EQ(state(profile), expected);
                }
            }
        }
    }

    auto container = open();
    ModelContext *window = container->mainContext();
    Profile *profile = window->fetchProfiles().value(0);
    // A link saved once is not written again by the next save: another writer's unlinking stays.
    change(window, profile, "A=1");
    window->save();
    changeBySql("A=0");
    profile->setName("Again");
    window->save();
    EXPECT_NE(state(container->makeContext()->fetchProfiles().value(0)).find("A=0"), std::string::npos);
    // A background whose bookmark alone changed here is saved, and keeps another writer's new value.
    window->fetchBackgroundsWithUuid("B").value(0)->setBookmarkData(QByteArray("mark"));
    ASSERT_TRUE(sql("UPDATE custom_backgrounds SET backgroundValue = 'theirs' WHERE uuid = 'B'").toBool());
    window->save();
    const auto reader = container->makeContext();
    const CustomBackground *stored = reader->fetchBackgroundsWithUuid("B").value(0);
    EXPECT_EQ(stored->bookmarkData(), QByteArray("mark"));
    EXPECT_EQ(stored->backgroundValue(), "theirs");
}

#include "KivBackups/BackupError.h"
#include "KivBackups/BackupManager.h"
#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/backup/CustomBackgroundImporter.h"
#include "Tapestrel/backup/CustomBackgroundsExporter.h"
#include "Tapestrel/backup/ProfileExporter.h"
#include "Tapestrel/backup/ProfileImporter.h"
#include "Tapestrel/backup/TapestrelBackupHandler.h"
#include "Tapestrel/backup/TapestrelDataResetController.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/StoreSnapshot.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"
#include "testsupport/Zip64Archive.h"
#include "zip/Zip.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QSemaphore>
#include <QThreadPool>
#include <QTimer>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <utility>

using TestSupport::runTask;

namespace {

class BackupExchange : public TestSupport::TempHomeTest
{
protected:
    std::unique_ptr<ModelContainer> container =
        std::make_unique<ModelContainer>(home.filePath("data/data.sqlite"));
    ModelContext *main() const { return container->mainContext(); }

    Profile *addProfile(const QString &uuid, const QString &name,
                        const QList<std::pair<QString, QString>> &options)
    {
        auto *profile = main()->insert(std::make_unique<Profile>(name));
        profile->setUuid(uuid);
        for (const auto &[key, value] : options)
            profile->findOrCreateOption(key)->setValue(value);
        return profile;
    }
    CustomBackground *addBackground(const QString &uuid, const QString &value,
                                    const std::optional<QByteArray> &bookmark = std::nullopt)
    {
        auto *background = main()->insert(
            std::make_unique<CustomBackground>(CustomBackground::Kind::Color, value, bookmark));
        background->setUuid(uuid);
        return background;
    }

    // "uuid name [key=value(+/-) ...] links:n"
    static QString line(const Profile *profile)
    {
        QString line = profile->uuid() + ' ' + profile->name() + (profile->isEnabled() ? "" : " disabled");
        for (const Option *option : profile->options())
            line += ' ' + option->key() + '=' + option->value() + (option->isEnabled() ? "+" : "-");
        return line + QStringLiteral(" links:%1").arg(profile->backgrounds().size());
    }
    // What the store holds, read through a context of its own.
    QStringList storedProfiles() const
    {
        const std::unique_ptr<ModelContext> context = container->makeContext();
        QStringList result;
        for (const Profile *profile : context->fetchProfiles())
            result.append(line(profile));
        return result;
    }
    // The store's profiles, read straight from its file: "uuid:options" in the store's order.
    QStringList profileSummary() const
    {
        sqlite3 *database = nullptr;
        EXPECT_EQ(sqlite3_open(QFile::encodeName(container->filePath()).constData(), &database), SQLITE_OK);
        sqlite3_stmt *query = nullptr;
        sqlite3_prepare_v2(
            database,
            "SELECT p.uuid, count(o.id) FROM profiles p LEFT JOIN options o ON o.profile = p.id "
            "GROUP BY p.id ORDER BY p.id",
            -1, &query, nullptr);
        QStringList result;
        while (sqlite3_step(query) == SQLITE_ROW)
            result.append(QStringLiteral("%1:%2")
                              .arg(reinterpret_cast<const char *>(sqlite3_column_text(query, 0)))
                              .arg(sqlite3_column_int64(query, 1)));
        sqlite3_finalize(query);
        sqlite3_close(database);
        return result;
    }
    QStringList storedBackgrounds() const
    {
        const std::unique_ptr<ModelContext> context = container->makeContext();
        QStringList result;
        for (const CustomBackground *background : context->fetchBackgrounds())
            result.append(background->uuid() + ' ' + background->backgroundValue());
        return result;
    }
    std::vector<std::unique_ptr<Profile>> decodeProfiles(const QByteArray &json) const
    {
        return ProfileImporter::decodeProfiles(JsonCoder::decode(json));
    }
    QString folder(const QString &name) const
    {
        QDir().mkpath(home.filePath(name));
        return home.filePath(name);
    }
    // `count` profiles "P0"… of `options` options (repeating every 2,000) compressing as real ones do.
    static QByteArray profilesJson(int count, int options, char version = 'a')
    {
        QByteArray block;
        for (int o = 0; o < std::min(options, 2000); ++o) {
            block += o ? R"(,{"key":"k)" : R"({"key":"k)";
            block += QByteArray::number(o) + R"(","value":")" + version;
            block += QByteArray::number(quint32(o) * 2654435761u, 16) + "\"}";
        }
        QByteArray list = block;
        for (int done = 2000; done < options; done += 2000)
            list += ',' + block;
        QByteArray json = "[";
        for (int p = 0; p < count; ++p)
            json += (p ? R"(,{"uuid":"P)" : R"({"uuid":"P)") + QByteArray::number(p)
                + R"(","name":"N","options":[)" + list + "]}";
        return json + "]";
    }
    std::unique_ptr<KivBackups::BackupManager> makeManager(const QString &folder)
    {
        return std::make_unique<KivBackups::BackupManager>(
            KivBackups::BackupManager::Configuration {folder, "tapback"},
            std::make_shared<TapestrelBackupHandler>(main(), "profiles.json", "backgrounds.json"));
    }
    // An archive in the manager's folder, with zip64 size fields (saying what `entries` say) or not.
    using Entries = QList<TestSupport::Zip64Entry>;
    KivBackups::Backup addArchive(KivBackups::BackupManager &manager, const QString &name,
                                  const Entries &entries, bool zip64 = false)
    {
        const QString backups = manager.configuration().backupStorePath;
        QDir().mkpath(backups);
        const QString path = backups + "/" + name + ".tapback";
        QList<Zip::ArchiveFile> files;
        for (const TestSupport::Zip64Entry &entry : entries)
            files.append({QString::fromUtf8(entry.name), entry.data, std::nullopt});
        if (zip64)
            EXPECT_TRUE(TestSupport::writeZip64Archive(path, entries));
        else
            Zip::Zip::zipData(files, path);
        runTask(manager.reload());
        for (const KivBackups::Backup &backup : manager.backups()) {
            if (backup.url.fileName().startsWith(name))
                return backup;
        }
        ADD_FAILURE() << "not listed: " << name.toStdString();
        return {};
    }
};

const QByteArray colorValue = R"({"type":"color","color":"#112233"})";
const QByteArray imageValue = R"({"type":"image","url":"file:///pictures/a b.jpg"})";

} // namespace

TEST_F(BackupExchange, ExportWritesTheExactBytes)
{
    runTask(ProfileExporter(main()).exportTo(home.filePath("empty-profiles.json")));
    runTask(CustomBackgroundsExporter(main()).exportTo(home.filePath("empty-backgrounds.json")));
    EXPECT_EQ(home.readFile("empty-profiles.json"), "[]");
    EXPECT_EQ(home.readFile("empty-backgrounds.json"), "[]");

    Profile *night =
        addProfile("A1", "Night/Day", {{"system.dock.position", "left"}, {"system.ui.appearance", "dark"}});
    night->setEnabled(false);
    night->option("system.ui.appearance")->setEnabled(false);
    addProfile("B2", "Café ☕", {});
    addBackground("C3", imageValue, QByteArray("\x00\x01\xfe\xff", 4));
    addBackground("D4", colorValue);
    main()->save();
    addProfile("E5", "Unsaved", {});

    runTask(ProfileExporter(main()).exportTo(home.filePath("profiles.json")));
    runTask(CustomBackgroundsExporter(main()).exportTo(home.filePath("backgrounds.json")));
    EXPECT_EQ(
        home.readFile("profiles.json"),
        R"([{"uuid":"A1","name":"Night\/Day","options":[{"key":"system.dock.position","value":"left","isEnabled":true},)"
        R"({"key":"system.ui.appearance","value":"dark","isEnabled":false}],"isEnabled":false},)"
        R"({"uuid":"B2","name":"Café ☕","options":[],"isEnabled":true}])");
    EXPECT_EQ(
        home.readFile("backgrounds.json"),
        R"([{"uuid":"C3","kind":"color","backgroundValue":"{\"type\":\"image\",\"url\":\"file:\/\/\/pictures\/a b.jpg\"}",)"
        R"("bookmarkData":"AAH+\/w=="},)"
        R"({"uuid":"D4","kind":"color","backgroundValue":"{\"type\":\"color\",\"color\":\"#112233\"}"}])");

    EXPECT_ANY_THROW(
        runTask(ProfileExporter(main()).exportTo(home.filePath("missing/folder/profiles.json"))));
    EXPECT_FALSE(QFileInfo::exists(home.filePath("missing")));
}

TEST_F(BackupExchange, ImportMergesByUuid)
{
    Profile *kept = addProfile("A", "Stored", {{"k", "stored"}});
    kept->addBackground(addBackground("BG", colorValue));
    addProfile("Z", "Untouched", {{"z", "1"}});
    main()->save();

    runTask(ProfileImporter(main()).importProfiles(
        decodeProfiles(
            R"([{"uuid":"A","name":"Imported","options":[]},{"uuid":"N","name":"New","options":[]},)"
            R"({"uuid":"M","name":"New too","options":[]}])"),
        false));
    EXPECT_EQ(storedProfiles(),
              QStringList({"A Stored k=stored+ links:1", "Z Untouched z=1+ links:0", "N New links:0",
                           "M New too links:0"}));

    runTask(ProfileImporter(main()).importProfiles(
        decodeProfiles(
            R"([{"uuid":"A","name":"Replaced","options":[{"key":"r","value":"1","isEnabled":false}]}])"),
        true));
    EXPECT_EQ(storedProfiles(),
              QStringList({"A Replaced r=1- links:0", "Z Untouched z=1+ links:0", "N New links:0",
                           "M New too links:0"}));

    EXPECT_THROW(
        runTask(ProfileImporter(main()).importProfiles(
            decodeProfiles(R"([{"uuid":"Q","name":"Q","options":[]},{"uuid":"Q","name":"Q","options":[]}])"),
            false)),
        KivBackups::BackupError);

    runTask(CustomBackgroundImporter(main()).importBackgrounds(
        CustomBackgroundImporter::decodeBackgrounds(JsonCoder::decode(
            R"([{"uuid":"BG","kind":"color","backgroundValue":"new"},{"uuid":"BG2","kind":"image","backgroundValue":"x"}])")),
        true));
    EXPECT_EQ(storedBackgrounds(), QStringList({"BG new", "BG2 x"}));

    EXPECT_EQ(main()->fetchProfiles().size(), 4);

    EXPECT_THROW(
        runTask(ProfileImporter(main()).importProfiles(decodeProfiles(profilesJson(1, 1001)), false)),
        KivBackups::BackupError);
    EXPECT_EQ(storedProfiles().size(), 4);

    auto context = container->makeContext();
    ProfileImporter orphan(context.get());
    context.reset();
    runTask(orphan.importProfiles(decodeProfiles(R"([{"uuid":"Q","name":"Q","options":[]}])"), true));
    EXPECT_EQ(storedProfiles().size(), 4);
}

TEST_F(BackupExchange, RestoreBringsBackTheBackupAndChangesNothingWhenAFileIsBroken)
{
    addProfile("A", "Original", {{"k", "old"}, {"j", "x"}});
    main()->fetchProfiles()[0]->option("j")->setEnabled(false);
    addBackground("BG", colorValue);
    main()->save();

    TapestrelBackupHandler handler(main(), "profiles.json", "backgrounds.json");
    const QString backup = folder("backup");
    runTask(handler.backup(backup));
    EXPECT_EQ(QDir(backup).entryList(QDir::Files, QDir::Name),
              QStringList({"backgrounds.json", "profiles.json"}));

    Profile *profile = main()->fetchProfiles()[0];
    profile->setName("Renamed");
    profile->option("k")->setValue("new");
    profile->option("j")->setEnabled(true);
    addProfile("X", "Extra", {});
    main()->fetchBackgrounds()[0]->setBackgroundValue("changed");
    main()->save();
    const QStringList changedProfiles = storedProfiles();
    const QStringList changedBackgrounds = storedBackgrounds();

    const QString broken = folder("broken");
    QFile::copy(backup + "/profiles.json", broken + "/profiles.json");
    EXPECT_ANY_THROW(runTask(handler.restore(broken))); // backgrounds.json missing
    for (const QByteArray &bad : {QByteArray("[{\"uuid\":1}]"), QByteArray("not json"), QByteArray("{}")}) {
        home.writeFile("broken/backgrounds.json", bad);
        EXPECT_ANY_THROW(runTask(handler.restore(broken)));
    }
    EXPECT_EQ(storedProfiles(), changedProfiles);
    EXPECT_EQ(storedBackgrounds(), changedBackgrounds);

    QObject listening;
    int heard = 0;
    QObject::connect(main(), &ModelContext::profilesChanged, &listening, [&heard] { ++heard; });
    runTask(handler.restore(backup));
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(storedProfiles(), QStringList({"A Original k=old+ j=x- links:0", "X Extra links:0"}));
    EXPECT_EQ(storedBackgrounds(), QStringList({"BG " + colorValue}));
}

TEST_F(BackupExchange, HostileFilesAreRefusedNamingTheFileAndChangeNothing)
{
    addProfile("A", "Original", {{"k", "v"}});
    main()->save();
    const QStringList before = storedProfiles();
    TapestrelBackupHandler handler(main(), "profiles.json", "backgrounds.json");
    const QString hostile = folder("hostile");
    home.writeFile("hostile/backgrounds.json", "[]");

    const QList<std::pair<QByteArray, QString>> cases {
        // 200,000 nested lists parse on the pool; a copy of them would overflow the stack.
        {QByteArray(200000, '['), "deeper than 8 levels"},
        {"[[[[[[[[[[]]]]]]]]]]", "deeper than 8 levels"},
        {"{\"uuid\":\"A\"}", "does not hold a list"},
    };
    for (const auto &[bytes, reason] : cases) {
        home.writeFile("hostile/profiles.json", bytes);
        try {
            runTask(handler.restore(hostile));
            ADD_FAILURE() << "restored " << bytes.left(40).constData();
        } catch (const JsonDecodeError &error) {
            EXPECT_TRUE(error.message().contains(hostile + "/profiles.json”"))
                << error.message().toStdString();
            EXPECT_TRUE(error.message().contains(reason)) << error.message().toStdString();
        }
    }
    home.writeFile("hostile/profiles.json", "[1e400]");
    EXPECT_THROW(runTask(handler.restore(hostile)), JsonDecodeError);
    EXPECT_EQ(storedProfiles(), before);
}

TEST_F(BackupExchange, RestoredRecordsKeepTheirRowsAndNewRowsTakeNoneAContextNames)
{
    QPointer<Profile> same = addProfile("S", "Same", {{"k", "v"}});
    QPointer<Profile> linked = addProfile("L", "Linked", {{"m", "1"}});
    linked->addBackground(addBackground("BG", colorValue));
    main()->save();
    TapestrelBackupHandler handler(main(), "profiles.json", "backgrounds.json");
    const QString backup = folder("backup");
    runTask(handler.backup(backup));
    QPointer<Profile> extra = addProfile("X", "Extra", {});
    main()->remove(linked->option("m"));
    main()->save();
    linked->findOrCreateOption("j")->setValue("2");
    main()->save();
    linked->option("j")->setValue("unsaved");

    runTask(handler.restore(backup));
    main()->save();
    // The equal profile keeps its record; the linked one is replaced in its row, without its link, and
    // keeps the change not yet stored of an option the backup's version lacks.
    EXPECT_EQ(main()->fetchProfiles(), QList<Profile *>({same, linked, extra}));
    EXPECT_TRUE(linked->backgrounds().isEmpty());
    EXPECT_EQ(storedProfiles(),
              QStringList({"S Same k=v+ links:0", "L Linked m=1+ j=unsaved+ links:0", "X Extra links:0"}));
    EXPECT_EQ(storedBackgrounds(), QStringList({"BG " + colorValue}));
}

// An edit made to a profile while a restore or an import replaces it writes what it changed over the
// merged profile, after the options that profile holds: what it left alone keeps what the merge brought.
TEST_F(BackupExchange, AnEditWhileAMergeReplacesItsProfileKeepsTheMergedFieldsItLeft)
{
    const QByteArray merged =
        R"([{"uuid":"P","name":"Merged","isEnabled":false,"options":[{"key":"a","value":"1"},)"
        R"({"key":"b","value":"1"},{"key":"c","value":"1"}]}])";
    const auto import = [&] {
        runTask(ProfileImporter(main()).importProfiles(decodeProfiles(merged), true));
    };
    addBackground("BG", colorValue);
    main()->save();
    import();
    TapestrelBackupHandler handler(main(), "profiles.json", "backgrounds.json");
    const QString backup = folder("backup");
    runTask(handler.backup(backup));
    const auto restore = [&] {
        runTask(handler.restore(backup));
    };

    struct Row
    {
        const char *edit;
        std::function<void(Profile *)> make;
        QString stored;
    };
    const QList<Row> rows {
        {"add an option", [](Profile *p) { p->findOrCreateOption("n")->setValue("new"); },
         "P Merged disabled a=1+ b=1+ c=1+ n=new+ links:0"},
        {"delete an option", [this](Profile *p) { main()->remove(p->option("a")); },
         "P Merged disabled b=1+ c=1+ links:0"},
        {"switch off", [](Profile *p) { p->setEnabled(false); }, "P Merged disabled a=1+ b=1+ c=1+ links:0"},
        {"rename", [](Profile *p) { p->setName("Mine"); }, "P Mine disabled a=1+ b=1+ c=1+ links:0"},
        {"link a background", [this](Profile *p) { p->addBackground(main()->fetchBackgrounds()[0]); },
         "P Merged disabled a=1+ b=1+ c=1+ links:1"},
        {"reorder",
         [](Profile *p) {
             for (Option *option : {p->option("a"), p->option("x")}) {
                 option->setProfile(nullptr);
                 option->setProfile(p);
             }
         },
         "P Merged disabled b=1+ a=1+ c=1+ links:0"},
        // x is not in the merged profile.
        {"change an option", [](Profile *p) { p->option("x")->setValue("mine"); },
         "P Merged disabled a=1+ b=1+ c=1+ x=mine+ links:0"},
    };
    // After the restore the window reads the store before it saves; after the import it does not.
    using Merge = std::function<void()>;
    for (const auto &[by, merge] : {std::pair<const char *, Merge>("restore", restore),
                                    std::pair<const char *, Merge>("import", import)}) {
        const bool reads = std::string(by) == "restore";
        for (const Row &row : rows) {
            SCOPED_TRACE(std::string(by) + ": " + row.edit);
            import();
            // Before the merge: another name, switched on, the options a=0 x=0 b=0.
            QPointer<Profile> profile = main()->fetchProfiles("P").value(0);
            ASSERT_TRUE(profile);
            profile->setName("Before");
            profile->setEnabled(true);
            main()->remove(profile->option("c"));
            profile->findOrCreateOption("x");
            Option *b = profile->option("b");
            b->setProfile(nullptr);
            b->setProfile(profile);
            for (Option *option : profile->options())
                option->setValue("0");
            main()->save();

            row.make(profile);
            merge();
            if (reads) {
                // The window shows the merged name and switch unless it changed them.
                main()->fetchProfiles("P");
                EXPECT_EQ(line(profile).section(' ', 0, 2), row.stored.section(' ', 0, 2));
            }
            main()->save();
            EXPECT_EQ(storedProfiles(), QStringList {row.stored});
            // What the window shows is what is stored.
            ASSERT_EQ(main()->fetchProfiles("P"), QList<Profile *> {profile});
            EXPECT_EQ(line(profile), row.stored);
        }
    }
}

TEST_F(BackupExchange, ArchivesAreRefusedNamingTheLimitOrRestoredInTheirOrder)
{
    const auto zeros = [](qsizetype count) {
        QByteArray list = QByteArray(",0").repeated(count);
        list[0] = '[';
        return list + ']';
    };
    QByteArray many = "[";
    for (int i = 0; i <= TapestrelBackupHandler::maximumRecords; ++i)
        many += QStringLiteral(R"({"uuid":"U%1","name":"N","options":[]},)").arg(i).toUtf8();
    many.back() = ']';
    const QByteArray spaces = "[" + QByteArray(4 << 20, ' ') + "]";
    const QByteArray option = R"({"key":"k","value":"v"})";
    const auto profiles = [&](const QByteArrayList &uuids, const QByteArray &extra = {}) {
        QByteArrayList list;
        for (const QByteArray &uuid : uuids)
            list.append(R"({"uuid":")" + uuid + R"(","name":"N","options":[)" + option + "]" + extra + "}");
        return "[" + list.join(',') + "]";
    };
    const QStringList before {"A:1", "C:1"};
    QStringList all = before;
    for (int p = 0; p < 300; ++p)
        all.append(QStringLiteral("P%1:1000").arg(p));
    const QString limit = QLocale().toString(TapestrelBackupHandler::maximumRecords);
    Entries manyFiles {{"profiles.json", "[]"}};
    for (int file = 0; file < 70000; ++file)
        manyFiles.append({"f" + QByteArray::number(file), {}, true});
    const struct
    {
        const char *what;
        Entries entries;
        bool zip64 = false;
        QString refusal = {}; // none: it restores
        QStringList after = {}; // "uuid:options" in the store's order
    } rows[] = {
        {"many profiles", {{"profiles.json", many}}, false, "more than " + limit + " profiles"},
        {"many backgrounds",
         {{"profiles.json", "[]"},
          {"backgrounds.json", QByteArray(many).replace("\"options\":[]", "\"kind\":\"x\"")}},
         false,
         "more than " + limit + " backgrounds"},
        // Spaces expand about 1,000 times.
        {"declared expansion",
         {{"profiles.json", spaces}},
         false,
         "more than 100 times its size beyond the first"},
        {"declared zip64 expansion", {{"profiles.json", spaces}}, true, " to 4.00 MiB, more than 100 times"},
        // Within the bound by what minizip asks to read for it (16 KiB), past it by what the file held.
        {"expansion from the bytes read",
         {{"profiles.json", spaces.left(2 << 20) + "]", false, quint64(4) << 20}},
         true,
         "expands from"},
        {"a vast declared compressed size",
         {{"profiles.json", spaces, false, quint64(1) << 62}},
         true,
         "expands from"},
        {"70,000 files", manyFiles, true, "it holds more than 1,000 files"},
        {"66,000 files, counted as 465", manyFiles.first(66001), true, "it holds more than 1,000 files"},
        // With "backgrounds.json".
        {"1,001 files", manyFiles.first(1000), true, "it holds more than 1,000 files"},
        {"1,000 files", manyFiles.first(999), true, {}, before},
        {"a file twice",
         {{"profiles.json", "[]"}, {"profiles.json", "[]"}},
         false,
         "holds the file “profiles.json” twice"},
        {"a long profile",
         {{"profiles.json", profilesJson(1, 1001)}},
         false,
         "a profile in it holds more than 1,000 options"},
        {"a long profile, its list named with an escape",
         {{"profiles.json", profilesJson(1, 1001).replace("\"options\"", "\"opt\\u0069ons\"")}},
         false,
         "a profile in it holds more than 1,000 options"},
        {"1,500 × 1,000 options",
         {{"profiles.json", profilesJson(1500, 1000), true}},
         true,
         "more than 300,000 options in all"},
        {"a file of no list",
         {{"profiles.json", "{}"}},
         false,
         ": the file “profiles.json” does not hold a list."},
        {"two profiles of one id",
         {{"profiles.json", profiles({"B", "X", "B"})}},
         false,
         "two profiles of the id “B”"},
        {"values beyond the options",
         {{"profiles.json", profiles({"V"}, ",\"extra\":" + zeros(2000001)), true}},
         true,
         "more than 2,000,000 values"},
        {"an option beside an unrelated list",
         {{"profiles.json", profiles({"U"}, ",\"extra\":" + zeros(5000))}},
         false,
         {},
         {"A:1", "C:1", "U:1"}},
        {"a stored zip64 entry", {{"profiles.json", profiles({"S"}), true}}, true, {}, {"A:1", "C:1", "S:1"}},
        {"order kept",
         {{"profiles.json",
           QByteArray(profiles({"B", "A", "C"}))
               .replace(R"("C","name":"N","options":[)",
                        R"("C","name":"N","options":[{"key":"m","value":"w"},)")}},
         false,
         {},
         {"B:1", "A:1", "C:2"}},
        {"300,000 options in all", {{"profiles.json", profilesJson(300, 1000)}}, false, {}, all},
    };
    int number = 0;
    for (const auto &[what, entries, zip64, refusal, after] : rows) {
        SCOPED_TRACE(what);
        container = std::make_unique<ModelContainer>(
            home.filePath(QStringLiteral("row%1/data.sqlite").arg(++number)));
        addProfile("A", "N", {{"k", "v"}});
        addProfile("C", "N", {{"k", "v"}});
        main()->save();
        const auto manager = makeManager(home.filePath(QStringLiteral("row%1/backups").arg(number)));
        Entries archive = entries;
        if (std::none_of(archive.cbegin(), archive.cend(), [](const TestSupport::Zip64Entry &entry) {
                return entry.name == "backgrounds.json";
            }))
            archive.append(TestSupport::Zip64Entry {"backgrounds.json", "[]"});
        try {
            runTask(manager->restore(addArchive(*manager, "20240101000000", archive, zip64)),
                    std::chrono::seconds(60));
            EXPECT_TRUE(refusal.isEmpty()) << "restored";
            EXPECT_EQ(profileSummary(), after);
        } catch (const KivBackups::BackupError &error) {
            EXPECT_FALSE(refusal.isEmpty()) << error.message().toStdString();
            // The backup chosen is named, and what is in it by its names in it.
            EXPECT_TRUE(error.message().startsWith("The backup “20240101000000.tapback” cannot be restored: ")
                        && error.message().contains(refusal))
                << error.message().toStdString();
            EXPECT_EQ(profileSummary(), before);
        } catch (const std::exception &error) {
            ADD_FAILURE() << error.what();
        }
        EXPECT_TRUE(QDir(manager->workingFolderPath()).isEmpty());
    }

    // A name of 2,000 characters is cut to 1,024 (1,023 before a pair); unknown entries are passed over.
    const auto manager = makeManager(home.filePath("backups"));
    const QString longName = QString(1023, u'n') + QStringLiteral("😀") + QString(975, u'n');
    const QByteArray padded = "[" + QByteArray(1'000'000, ' ') + R"({"uuid":"L","name":")" + longName.toUtf8()
        + R"(","options":[]}])";
    const QStringList stored = storedProfiles();
    const QStringList notes = runTask(manager->restore(
        addArchive(*manager, "20240202000000",
                   {{"backgrounds.json", "[]"}, {"profiles.json", padded}, {"extra.bin", "x"}}, true)));
    ASSERT_EQ(notes.size(), 1);
    EXPECT_TRUE(notes[0].contains("cut")) << notes[0].toStdString();
    EXPECT_EQ(storedProfiles(), stored + QStringList({"L " + longName.left(1023) + " links:0"}));
}

// Saves every 20 ms during a large restore and an import neither fail nor block, and are kept: the
// store is held for a while as the restore begins, and every edit, of a profile replaced in its row,
// one replaced into a new row, one moved for order and one left as it was, is stored after it; so is an
// option the backup's profile lacks, and one deleted meanwhile stays deleted.
TEST_F(BackupExchange, SavesDuringALargeRestoreWaitTheirTurnAndAreKept)
{
    const auto manager = makeManager(home.filePath("backups"));
    const int count = 50;
    const int options = int(ProfileImporter::maximumOptions);
    const auto backup = [&](const QString &name, const QByteArray &json) {
        return addArchive(*manager, name, {{"backgrounds.json", "[]"}, {"profiles.json", json}});
    };
    runTask(manager->restore(backup("20240101000000", profilesJson(count, options, 'a'))),
            std::chrono::minutes(5));
    QPointer<Profile> moved = addProfile("W", "Mine", {{"w", "1"}});
    QPointer<Profile> left = addProfile("M", "N", {});
    QPointer<Profile> lacking = addProfile("D", "N", {{"x", "1"}});
    main()->save();
    // M comes before the last profile: that one is replaced into a new row, W follows it there.
    const QByteArray last = R"({"uuid":"P)" + QByteArray::number(count - 1);
    const KivBackups::Backup second =
        backup("20240102000000",
               profilesJson(count, options, 'b')
                   .replace(last,
                            R"({"uuid":"M","name":"N","options":[]},{"uuid":"D","name":"N","options":[)"
                            R"({"key":"y","value":"b"}]},)"
                                + last));

    QObject window;
    QObject::connect(main(), &ModelContext::profilesChanged, &window, [this] { main()->fetchProfiles(); });
    const QList<QPointer<Profile>> edited {main()->fetchProfiles("P0").value(0),
                                           main()->fetchProfiles("P" + QString::number(count - 1)).value(0),
                                           moved, left, lacking};
    int edits = 0;
    int waiting = 0;
    std::optional<QCoro::Task<QStringList>> importing;
    // Another program holds the store as the restore begins, until the window, while the restore
    // holds its saves, has started an import and saved an edit: were either to wait for the store on
    // the window's thread, nobody would let the store go and it would fail.
    sqlite3 *holder = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(container->filePath()).constData(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    bool held = true;
    QTimer typing;
    QObject::connect(&typing, &QTimer::timeout, &window, [&] {
        if (waiting > 0 && !container->isMerging())
            return typing.stop();
        if (container->isMerging() && !importing) {
            importing = ProfileImporter(main()).importProfiles(
                decodeProfiles(R"([{"uuid":"I","name":"Shipped","options":[]}])"), false);
            main()->remove(edited[1]->options().last());
        }
        const QString name = QStringLiteral("Edit %1").arg(++edits);
        for (Profile *profile : edited) {
            profile->setName(name);
            if (!profile->options().isEmpty())
                profile->options().first()->setValue(name);
        }
        waiting += container->isMerging();
        try {
            main()->save();
        } catch (const std::exception &error) {
            ADD_FAILURE() << error.what();
        }
        if (importing && std::exchange(held, false)) {
            EXPECT_EQ(sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        }
    });
    typing.start(20);
    // Generous: the machine may be loaded.
    runTask(manager->restore(second), std::chrono::minutes(5));
    typing.stop();
    sqlite3_close(holder);
    EXPECT_FALSE(held);
    EXPECT_GT(waiting, 0) << "no save came during the merge";
    ASSERT_TRUE(importing);
    runTask(std::move(*importing), std::chrono::minutes(1));
    // What waited for either merge is saved once both have ended, without another save.
    EXPECT_FALSE(main()->hasChanges());

    // The import may merge before the restore or after it.
    QStringList summary = profileSummary();
    EXPECT_EQ(summary.removeAll("I:0"), 1);
    QStringList order;
    for (int p = 0; p < count - 1; ++p)
        order.append(QStringLiteral("P%1:%2").arg(p).arg(options));
    EXPECT_EQ(
        summary,
        order + QStringList({"M:0", "D:2", QStringLiteral("P%1:%2").arg(count - 1).arg(options - 1), "W:1"}));
    const std::unique_ptr<ModelContext> context = container->makeContext();
    const QString name = QStringLiteral("Edit %1").arg(edits);
    const QHash<QString, QStringList> optionsOf {{"W", {"w=" + name}}, {"D", {"y=b", "x=" + name}}};
    for (const QPointer<Profile> &profile : edited) {
        ASSERT_TRUE(profile);
        SCOPED_TRACE(profile->uuid().toStdString());
        // What the window holds is what is stored.
        EXPECT_EQ(main()->fetchProfiles(profile->uuid()), QList<Profile *>({profile}));
        for (const Profile *shown : {profile.data(), context->fetchProfiles(profile->uuid()).value(0)}) {
            EXPECT_EQ(shown->name(), name);
            if (optionsOf.contains(shown->uuid())) {
                QStringList held;
                for (const Option *option : shown->options())
                    held.append(option->key() + '=' + option->value());
                EXPECT_EQ(held, optionsOf[shown->uuid()]);
            }
            if (shown->uuid().startsWith('P')) {
                ASSERT_EQ(shown->options().size(), options - (profile == edited[1]));
                EXPECT_EQ(shown->options().first()->value(), name);
                EXPECT_TRUE(shown->options().last()->value().startsWith('b'));
            }
        }
    }
}

TEST_F(BackupExchange, ArchivesHoldTheStoresOwnBytesRestoreAndFailWithoutAStore)
{
    const QString tricky =
        QStringLiteral("a\"b\\c/d\be\tf\ng\fh\ri") + QChar(0x01) + QChar(0x7f) + QStringLiteral("é ☕ 😀");
    Profile *first = addProfile("A1", tricky, {{"k1", tricky}, {"k2", imageValue}, {"k3", ""}});
    first->setEnabled(false);
    first->option("k2")->setEnabled(false);
    Profile *empty = addProfile("B2", "Empty", {});
    Profile *doomed = addProfile("C3", "Deleted", {{"k", "v"}});
    for (int p = 0; p < 150; ++p) {
        QList<std::pair<QString, QString>> options;
        for (int o = 0; o < 8; ++o)
            options.append({QStringLiteral("system.option.%1").arg(o), QString::fromUtf8(colorValue)});
        addProfile(QStringLiteral("P%1").arg(p), QStringLiteral("Profile %1").arg(p), options);
    }
    main()->insert(std::make_unique<Option>("orphan", "of no profile"));
    addBackground("BG1", tricky, QByteArray("\xff\xfe\xfb\xef", 4));
    addBackground("BG2", colorValue);
    addBackground("BG3", imageValue, QByteArray(""));
    main()->save();
    // The list order is not the rows order any more.
    Option *moved = first->option("k1");
    moved->setProfile(empty);
    moved->setProfile(first);
    main()->remove(doomed);
    main()->save();
    {
        sqlite3 *database = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(container->filePath()).constData(), &database), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(database,
                               "UPDATE profiles SET name = CAST(X'41FF42C328' AS TEXT) WHERE uuid = 'B2';"
                               "UPDATE custom_backgrounds SET backgroundValue = CAST(X'E282' AS TEXT) "
                               "WHERE uuid = 'BG2'",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(database);
    }

    QByteArray profiles;
    QByteArray backgrounds;
    int pieces = 0;
    {
        StoreSnapshot snapshot(container->filePath());
        snapshot.writeProfilesJson([&](QByteArrayView bytes) {
            profiles += bytes;
            ++pieces;
        });
        snapshot.writeBackgroundsJson([&](QByteArrayView bytes) { backgrounds += bytes; });
    }
    EXPECT_GT(pieces, 1);
    {
        const std::unique_ptr<ModelContext> context = container->makeContext();
        EXPECT_EQ(profiles, BackupJson::encodeArray(context->fetchProfiles()));
        EXPECT_EQ(backgrounds, BackupJson::encodeArray(context->fetchBackgrounds()));
    }
    EXPECT_TRUE(profiles.startsWith(R"([{"uuid":"A1",)"));
    EXPECT_TRUE(profiles.contains(R"("options":[{"key":"k2")"));
    EXPECT_FALSE(profiles.contains("orphan"));
    EXPECT_FALSE(profiles.contains("C3"));

    const auto manager = makeManager(home.filePath("backups"));
    runTask(manager->makeBackup(false));
    ASSERT_EQ(manager->backups().size(), 1);
    EXPECT_EQ(QDir(manager->workingFolderPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    Zip::Zip::addCustomFileExtension("tapback");
    QStringList names;
    for (const Zip::Zip::EntryInfo &entry : Zip::Zip::entries(manager->backups()[0].path()))
        names.append(entry.name);
    EXPECT_EQ(names, QStringList({"backgrounds.json", "profiles.json"}));
    Zip::Zip::unzipFile(manager->backups()[0].path(), home.filePath("unpacked"), true);
    EXPECT_EQ(home.readFile("unpacked/profiles.json"), profiles);
    EXPECT_EQ(home.readFile("unpacked/backgrounds.json"), backgrounds);

    const QStringList before = storedProfiles();
    first->setName("Changed");
    main()->save();
    runTask(manager->restore(manager->backups()[0]));
    EXPECT_EQ(storedProfiles().join('\n').toStdString(), before.join('\n').toStdString());

    EXPECT_THROW(StoreSnapshot(home.filePath("missing/data.sqlite")), ModelStoreError);
    EXPECT_FALSE(QFileInfo::exists(home.filePath("missing")));
    container.reset();
    EXPECT_THROW(runTask(manager->makeBackup(false)), ModelStoreError);
    EXPECT_EQ(manager->backups().size(), 1);
    EXPECT_THROW(runTask(manager->restore(manager->backups()[0])), KivBackups::BackupError);
}

TEST_F(BackupExchange, DataResetBacksUpFirstAndRemovesLinksButNeverWhatTheyPointAt)
{
    const QString data = home.filePath("data");
    QStringList calls;
    bool failBackup = true;
    TapestrelDataResetController::Steps steps;
    steps.makeLockedBackup = [&]() -> QCoro::Task<void> {
        calls.append("backup");
        if (failBackup)
            throw KivBackups::BackupError("test", 1, "no space");
        co_return;
    };
    steps.stopAutosave = [&] {
        calls.append("stop autosave");
    };
    steps.startAutosave = [&] {
        calls.append("start autosave");
    };
    steps.closeStore = [&] {
        calls.append("close store");
        container.reset();
    };
    steps.openStore = [&] {
        calls.append(QFileInfo::exists(data + "/data.sqlite") ? "open store over old file" : "open store");
        container = std::make_unique<ModelContainer>(data + "/data.sqlite");
    };
    TapestrelDataResetController controller(data, steps);
    addProfile("A", "Doomed", {});
    main()->save();
    home.writeFile("data/data_ckAssets/asset", "x");
    home.writeFile("elsewhere/assets/photo", "keep");
    ASSERT_TRUE(QFile::link(home.filePath("elsewhere/assets"), data + "/.data_SUPPORT"));

    EXPECT_THROW(runTask(controller.reset()), KivBackups::BackupError);
    EXPECT_EQ(calls, QStringList({"backup"}));
    EXPECT_EQ(storedProfiles().size(), 1);

    calls.clear();
    failBackup = false;
    runTask(controller.reset());
    EXPECT_EQ(calls, QStringList({"backup", "stop autosave", "close store", "open store", "start autosave"}));
    EXPECT_FALSE(QFileInfo::exists(data + "/data_ckAssets"));
    EXPECT_FALSE(QFileInfo(data + "/.data_SUPPORT").isSymLink());
    EXPECT_EQ(home.readFile("elsewhere/assets/photo"), "keep");
    EXPECT_TRUE(storedProfiles().isEmpty());
}

TEST_F(BackupExchange, ASaveWhileTheFilesAreReadIsRestoredOverToo)
{
    addProfile("A", "Original", {{"k", "v"}});
    main()->save();
    TapestrelBackupHandler handler(main(), "profiles.json", "backgrounds.json");
    const QString backup = folder("backup");
    runTask(handler.backup(backup));

    // A save made before the pool reads the files must not survive the restore; the pool waits for it.
    QThreadPool *pool = QThreadPool::globalInstance();
    const int workers = pool->maxThreadCount();
    const auto saved = std::make_shared<QSemaphore>();
    for (int worker = 0; worker < workers; ++worker)
        pool->start([saved] { saved->acquire(); });
    QCoro::Task<QStringList> restoring = handler.restore(backup);
    main()->fetchProfiles()[0]->setName("Renamed");
    main()->save();
    saved->release(workers);
    runTask(std::move(restoring));
    EXPECT_EQ(storedProfiles(), QStringList({"A Original k=v+ links:0"}));
}

// Restores run in the order they were asked, whichever is read first: the store ends as the last one
// left it.
TEST_F(BackupExchange, RestoresAskedAtOnceRunInTheOrderAsked)
{
    const auto manager = makeManager(folder("backups"));
    const KivBackups::Backup first = addArchive(
        *manager, "20240101000000", {{"profiles.json", profilesJson(2000, 20)}, {"backgrounds.json", "[]"}});
    const KivBackups::Backup second = addArchive(
        *manager, "20240102000000", {{"profiles.json", profilesJson(1, 1)}, {"backgrounds.json", "[]"}});
    QCoro::Task<QStringList> restoringFirst = manager->restore(first);
    // The second keeps the data as it finds it in its turn: what the first restored.
    QCoro::Task<QStringList> restoringSecond = manager->restoreKeepingCurrent(second);
    EXPECT_EQ(manager->unfinishedRestores(),
              QStringList({"20240101000000.tapback", "20240102000000.tapback"}));
    // The handler tells once a restore's data is in the store, before the restore has returned.
    EXPECT_FALSE(manager->backupHandler().restoreStored());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return manager->backupHandler().restoreStored(); },
                                       std::chrono::seconds(60)));
    EXPECT_EQ(profileSummary().size(), 2000);
    runTask(std::move(restoringSecond), std::chrono::seconds(60));
    runTask(std::move(restoringFirst));
    EXPECT_FALSE(manager->isRestoring());
    EXPECT_EQ(profileSummary().value(0), "P0:1");
    EXPECT_EQ(profileSummary().size(), 2000);
    const auto kept = std::find_if(manager->backups().cbegin(), manager->backups().cend(),
                                   [](const KivBackups::Backup &backup) { return backup.isLocked; });
    ASSERT_NE(kept, manager->backups().cend());
    Zip::Zip::unzipFile(kept->path(), home.filePath("kept"), true);
    EXPECT_EQ(JsonCoder::decode(home.readFile("kept/profiles.json")).size(), 2000);
}

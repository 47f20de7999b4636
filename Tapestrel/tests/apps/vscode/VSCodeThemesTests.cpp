#include "VSCodeFixture.h"

#include "Tapestrel/apps/vscode/VSCodeProfileExtensionFinder.h"
#include "Tapestrel/apps/vscode/VSCodeStateDbController.h"
#include "Tapestrel/apps/vscode/VSCodeThemeFinder.h"
#include "Tapestrel/apps/vscode/VSCodeThemeStore.h"
#include "testsupport/HostileFiles.h"

using namespace std::chrono_literals;
namespace Hostile = TestSupport::HostileFiles;

namespace {

QStringList identifiers(const QList<VSCodeExtension> &extensions)
{
    QStringList result;
    for (const VSCodeExtension &extension : extensions)
        result.append(extension.identifier);
    return result;
}

QStringList rows(const QList<VSCodeTheme> &themes)
{
    QStringList result;
    for (const VSCodeTheme &theme : themes)
        result.append(theme.id + QLatin1Char('=') + theme.name);
    return result;
}

using VSCodeThemesTest = VSCodeFixture;

} // namespace

TEST_F(VSCodeThemesTest, ExtensionIdentifiersComeFromTheFolderName)
{
    struct Case
    {
        QString path;
        QString identifier;
        QString version;
    };
    for (const Case &test :
         QList<Case> {{"/x/publisher.name-1.2.3", "publisher.name", "1.2.3"},
                      {"/x/publisher.name-1.2.3-darwin-arm64", "publisher.name-1.2.3-darwin", "arm64"},
                      {"/x/publisher.name-2.0.0/", "publisher.name", "2.0.0"}}) {
        const auto extension = VSCodeProfileExtensionFinder::extensionAt(test.path);
        ASSERT_TRUE(extension.has_value()) << test.path.toStdString();
        EXPECT_EQ(extension->identifier, test.identifier);
        EXPECT_EQ(extension->prefix, test.identifier);
        EXPECT_EQ(extension->version, test.version);
    }
    EXPECT_EQ(VSCodeProfileExtensionFinder::extensionAt("/x/noversion"), std::nullopt);
    EXPECT_EQ(VSCodeProfileExtensionFinder::extensionAt(""), std::nullopt);
}

TEST_F(VSCodeThemesTest, DisabledExtensionsComeFromTheProfilesStateDatabase)
{
    const VSCodeProfile profile = VSCodeProfile::defaultProfile();
    QDir().mkpath(code("User"));
    const QString one = installExtension("pub.one-1.0.0", "{}");
    const QString two = installExtension("pub.two-1.0.0", "{}");
    const QString three = installExtension("Pub.Three-1.0.0", "{}");
    writeExtensionsList(profile,
                        {{"pub.one", one}, {"pub.two", two}, {"pub.three", three}, {"pub.bad", "/x/nodash"}});
    // A named profile keeps its own list in its folder.
    writeProfiles({work()});
    writeExtensionsList(work(), {{"pub.two", two}});
    QDir().mkpath(code("User/profiles/-3f1a/globalStorage"));
    EXPECT_EQ(identifiers(VSCodeProfileExtensionFinder::extensions(work())), QStringList({"pub.two"}));

    const QStringList all {"pub.one", "pub.two", "Pub.Three"};
    EXPECT_EQ(identifiers(VSCodeProfileExtensionFinder::extensions(profile)), all); // no database

    struct Case
    {
        const char *name;
        std::optional<QByteArray> disabled;
        QStringList enabled;
    };
    const QList<Case> cases {
        {"with and without uuid, letter case differing",
         R"([{"id": "pub.one", "uuid": "1"}, {"id": "pub.two"}, {"id": "pub.three", "uuid": "3"}])",
         {"pub.two", "Pub.Three"}},
        {"no row", std::nullopt, all},
        {"not JSON", "[{\"id\": ", all},
        {"not a list of objects", R"([{"id": "pub.one", "uuid": "1"}, "pub.two"])", all},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        QFile::remove(stateDatabase(profile));
        writeStateDatabase(profile, test.disabled);
        EXPECT_EQ(identifiers(VSCodeProfileExtensionFinder::extensions(profile)), test.enabled);
    }

    // The database is VS Code's: read-only, nothing left beside it, in either journal mode.
    QFile::remove(stateDatabase(profile));
    writeStateDatabase(profile, R"([{"id": "pub.one", "uuid": "1"}])");
    const QStringList before = QDir(code("User/globalStorage")).entryList(QDir::Files);
    ASSERT_TRUE(VSCodeStateDbController::open(profile).has_value());
    EXPECT_EQ(QDir(code("User/globalStorage")).entryList(QDir::Files), before);
    sqlite3 *database = nullptr;
    sqlite3_open(QFile::encodeName(stateDatabase(profile)).constData(), &database);
    sqlite3_exec(database, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_close(database);
    ASSERT_TRUE(VSCodeStateDbController::open(profile).has_value());
    EXPECT_EQ(QDir(code("User/globalStorage")).entryList(QDir::Files), before);

    // Locked by VS Code: waited on briefly, then nothing is excluded.
    EXPECT_EQ(identifiers(VSCodeProfileExtensionFinder::extensions(profile)),
              QStringList({"pub.two", "Pub.Three"}));
    sqlite3_open(QFile::encodeName(stateDatabase(profile)).constData(), &database);
    sqlite3_exec(database, "PRAGMA journal_mode=DELETE; BEGIN EXCLUSIVE; DELETE FROM ItemTable;", nullptr,
                 nullptr, nullptr);
    EXPECT_EQ(identifiers(VSCodeProfileExtensionFinder::extensions(profile)), all);
    sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(database);

    // Empty, of another shape, or no database at all: nothing excluded, nothing created.
    for (const QByteArray &bytes : {QByteArray(), QByteArray("SQLite format 3"), QByteArray(4096, 'x')}) {
        write(stateDatabase(profile), bytes);
        EXPECT_EQ(identifiers(VSCodeProfileExtensionFinder::extensions(profile)), all);
        EXPECT_EQ(contents(stateDatabase(profile)), bytes);
    }
    QFile::remove(stateDatabase(profile));
    sqlite3_open(QFile::encodeName(stateDatabase(profile)).constData(), &database);
    sqlite3_exec(database, "CREATE TABLE Other (k TEXT)", nullptr, nullptr, nullptr);
    sqlite3_close(database);
    EXPECT_EQ(VSCodeStateDbController::open(profile), std::nullopt);
    EXPECT_EQ(VSCodeStateDbController::open(work()), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(stateDatabase(work())));
}

// VS Code's database is its own: whatever stands at its path or beside it, the read gives up at once
// without waiting and leaves everything as it found it.
TEST_F(VSCodeThemesTest, AStateDatabaseThatIsNoPlainFileIsReadWithoutWaiting)
{
    const VSCodeProfile profile = VSCodeProfile::defaultProfile();
    const QString one = installExtension("pub.one-1.0.0", "{}");
    const QString two = installExtension("pub.two-1.0.0", "{}");
    writeExtensionsList(profile, {{"pub.one", one}, {"pub.two", two}});
    const QString database = stateDatabase(profile);
    const QStringList all {"pub.one", "pub.two"};

    struct Case
    {
        const char *name;
        std::function<bool()> make;
        QStringList pipes;
    };
    const QList<Case> cases {
        {"a named pipe", [&] { return Hostile::makePipe(database); }, {database}},
        {"a link to itself", [&] { return Hostile::makeLinkLoop(database); }, {}},
        {"a 100 MB file", [&] { return Hostile::makeSparseFile(database, 100 * 1024 * 1024); }, {}},
        {"a folder", [&] { return QDir().mkpath(database); }, {}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        QDir(code("User/globalStorage")).removeRecursively();
        ASSERT_TRUE(test.make());
        const QFileInfo before(database);
        QStringList enabled;
        EXPECT_LT(TestSupport::timeWithPipes(
                      test.pipes,
                      [&] { enabled = identifiers(VSCodeProfileExtensionFinder::extensions(profile)); }),
                  1s);
        EXPECT_EQ(enabled, all);
        const QFileInfo after(database);
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        EXPECT_EQ(after.isDir(), before.isDir());
        EXPECT_EQ(after.size(), before.size());
        EXPECT_EQ(QDir(code("User/globalStorage"))
                      .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                  QStringList {"state.vscdb"});
    }

    // A sound database whose log or journal files are pipes: read as it stands, the pipes unopened.
    for (const QStringList &neighbours : {QStringList {"-wal", "-shm"}, QStringList {"-journal"}}) {
        SCOPED_TRACE(neighbours.join(' ').toStdString());
        QDir(code("User/globalStorage")).removeRecursively();
        writeStateDatabase(profile, R"([{"id": "pub.one", "uuid": "1"}])");
        if (neighbours.first() == "-wal") {
            sqlite3 *handle = nullptr;
            sqlite3_open(QFile::encodeName(database).constData(), &handle);
            sqlite3_exec(handle, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
            sqlite3_close(handle);
        }
        QStringList pipes;
        for (const QString &suffix : neighbours) {
            QFile::remove(database + suffix);
            ASSERT_TRUE(Hostile::makePipe(database + suffix));
            pipes.append(database + suffix);
        }
        const QByteArray bytes = contents(database);
        QStringList enabled;
        EXPECT_LT(
            TestSupport::timeWithPipes(
                pipes, [&] { enabled = identifiers(VSCodeProfileExtensionFinder::extensions(profile)); }),
            1s);
        EXPECT_EQ(enabled, QStringList {"pub.two"});
        EXPECT_EQ(contents(database), bytes);
        for (const QString &pipe : pipes)
            EXPECT_FALSE(QFileInfo(pipe).isFile()) << pipe.toStdString();
    }
}

TEST_F(VSCodeThemesTest, ThemesAreTheBuiltInOnesSortedThenTheEnabledExtensionsInListOrder)
{
    const VSCodeThemeStore none(std::nullopt);
    EXPECT_EQ(rows(none.defaultThemes()),
              QStringList({"Abyss=Abyss", "Visual Studio Dark=Dark (Visual Studio)",
                           "Default High Contrast=Dark High Contrast", "Default Dark+=Dark+ (default dark)",
                           "Kimbie Dark=Kimbie Dark", "Visual Studio Light=Light (Visual Studio)",
                           "Default High Contrast Light=Light High Contrast",
                           "Default Light+=Light+ (default light)", "Monokai=Monokai",
                           "Monokai Dimmed=Monokai Dimmed", "Quiet Light=Quiet Light", "Red=Red",
                           "Solarized Dark=Solarized Dark", "Solarized Light=Solarized Light",
                           "Tomorrow Night Blue=Tomorrow Night Blue"}));
    EXPECT_TRUE(none.customThemes().isEmpty());

    const VSCodeProfile profile = VSCodeProfile::defaultProfile();
    QDir().mkpath(code("User"));
    const QString zeta =
        installExtension("z.zeta-1.0.0", manifest({{"zeta-night", "Zeta Night"}, {"", "Alpha"}}));
    const QString ids = installExtension("a.ids-1.0.0", manifest({{"Only Id", ""}, {"", ""}}));
    const QString noPath = installExtension(
        "a.nopath-1.0.0",
        R"({"contributes": {"themes": [{"label": "Fine", "path": "t.json"}, {"label": "No path"}]}})");
    const QString wrongType =
        installExtension("a.wrong-1.0.0", R"({"contributes": {"themes": [{"label": 5, "path": "t"}]}})");
    const QString noThemes = installExtension("a.grammar-1.0.0", R"({"contributes": {"grammars": []}})");
    const QString disabled = installExtension("a.off-1.0.0", manifest({{"off", "Off"}}));
    const QString broken = installExtension("a.broken-1.0.0", "{\"contributes\": ");
    writeExtensionsList(profile,
                        {{"z.zeta", zeta},
                         {"a.ids", ids},
                         {"a.nopath", noPath},
                         {"a.wrong", wrongType},
                         {"a.grammar", noThemes},
                         {"a.off", disabled},
                         {"a.broken", broken},
                         {"a.missing", home.filePath(".vscode/extensions/a.missing-1.0.0")}});
    writeStateDatabase(profile, R"([{"id": "a.off", "uuid": "u"}])");

    const VSCodeThemeStore store(profile);
    EXPECT_EQ(rows(store.customThemes()),
              QStringList({"zeta-night=Zeta Night", "Alpha=Alpha", "Only Id=Only Id"}));
    EXPECT_EQ(store.defaultThemes(), none.defaultThemes());
    EXPECT_EQ(rows(VSCodeThemeFinder::themes(disabled)), QStringList({"off=Off"}));
}

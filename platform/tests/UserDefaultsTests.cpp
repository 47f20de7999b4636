#include "platform/Home.h"
#include "platform/InterruptedExchanges.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/OutsideWriter.h"
#include "testsupport/PermissionsHeld.h"
#include "testsupport/PropertyListFixtures.h"
#include "testsupport/TempHome.h"

#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QSignalSpy>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

using Platform::InterruptedExchanges;
using Platform::PropertyList;
using Platform::UserDefaults;
using TestSupport::OutsideWriter;
using TestSupport::TempHome;
using TestSupport::TempHomeTest;
using namespace TestSupport::PropertyListFixtures;
namespace HostileFiles = TestSupport::HostileFiles;

namespace {

const QString standardFile = QStringLiteral("Library/Preferences/com.quorvane.Tapestrel.plist");
const QString globalFile = QStringLiteral("Library/Preferences/.GlobalPreferences.plist");
// A value of Qt's own settings as a text: U+0000 in it.
const QString variant = QStringLiteral("@Variant(") + QChar(0) + QChar(0) + QChar(0) + QChar(0x87)
    + QStringLiteral("\u00e9x") + QChar(0) + QStringLiteral(")");

} // namespace

using UserDefaultsTest = TempHomeTest;

// Every type the program stores comes back through the binary file, also after the writes that follow;
// XML domains are read in the texts test below.
TEST_F(UserDefaultsTest, EveryValueTypeSurvivesTheBinaryFile)
{
    const QDateTime when(QDate(2026, 12, 7), QTime(6, 30, 15, 123), Qt::UTC); // .123 s: not exact in binary
    const QByteArray data("\x00\x01\xff", 3);
    // What is set, and what the file then holds.
    const QList<std::tuple<const char *, QVariant, QVariant>> values {
        {"text", "a b ü 🎨", "a b ü 🎨"},
        {"variant", variant, variant},
        {"data", data, data},
        {"int", 42, qint64(42)},
        {"negative", qint64(-7), qint64(-7)},
        {"big", qint64(1) << 40, qint64(1) << 40},
        {"real", 0.25, 0.25},
        {"flag", true, true},
        {"date", when, when},
        {"list", QStringList {"x", "y"}, QVariantList {"x", "y"}},
        {"dict", QVariantMap {{"inner", QVariantList {1, "two", 3.5}}},
         QVariantMap {{"inner", QVariantList {qint64(1), "two", 3.5}}}}};
    UserDefaults &defaults = UserDefaults::standard();
    for (const auto &[key, value, stored] : values)
        EXPECT_TRUE(defaults.setValue(key, value)) << key;

    const QByteArray bytes = home.readFile(standardFile);
    ASSERT_TRUE(bytes.startsWith("bplist00"));
    const std::optional<QVariantMap> parsed = PropertyList::parseDictionary(bytes);
    ASSERT_TRUE(parsed.has_value());
    for (const auto &[key, value, stored] : values)
        EXPECT_EQ(parsed->value(key), stored) << key;

    EXPECT_EQ(defaults.date("date"), when);
    EXPECT_EQ(defaults.data("data"), data);
    EXPECT_EQ(defaults.array("list"), (QVariantList {"x", "y"}));
    EXPECT_TRUE(defaults.dictionary("dict").has_value());
    EXPECT_FALSE(defaults.dictionary("list").has_value());
    EXPECT_FALSE(defaults.data("text").has_value());
}

TEST_F(UserDefaultsTest, ReadingsFollowThePlatformConversions)
{
    UserDefaults &d = UserDefaults::standard();
    const QVariantMap values {
        {"four", 4},   {"half", 0.5}, {"yes", "YES"},   {"True", "tRuE"}, {"seven", "7"},
        {"zero", "0"}, {"no", "no"},  {"word", "blue"}, {"off", false},   {"bytes", QByteArray("1")}};
    for (auto value = values.cbegin(); value != values.cend(); ++value)
        d.setValue(value.key(), value.value());

    EXPECT_EQ(d.string("four"), QStringLiteral("4"));
    EXPECT_EQ(d.string("half"), QStringLiteral("0.5"));
    EXPECT_EQ(d.string("bytes"), std::nullopt);
    EXPECT_EQ(d.string("missing"), std::nullopt);

    for (const char *key : {"four", "half", "yes", "True", "seven"})
        EXPECT_TRUE(d.boolean(key)) << key;
    for (const char *key : {"zero", "no", "word", "off", "bytes", "missing"})
        EXPECT_FALSE(d.boolean(key)) << key;

    EXPECT_EQ(d.integer("seven"), 7);
    EXPECT_EQ(d.integer("half"), 0);
    EXPECT_EQ(d.integer("word"), 0);
    EXPECT_EQ(d.real("four"), 4.0);
    EXPECT_EQ(d.real("missing"), 0.0);
}

TEST_F(UserDefaultsTest, SearchListIsOwnDomainThenGlobalThenRegistered)
{
    UserDefaults &standard = UserDefaults::standard();
    UserDefaults &global = UserDefaults::global();
    standard.registerDefaults({{"AppleAccentColor", 1}, {"width", 240}});
    EXPECT_EQ(standard.integer("AppleAccentColor"), 1);

    ASSERT_TRUE(global.setValue("AppleAccentColor", 4));
    EXPECT_EQ(standard.string("AppleAccentColor"), QStringLiteral("4"));
    EXPECT_EQ(standard.persistentValue("AppleAccentColor"), QVariant());

    standard.setValue("AppleAccentColor", 6);
    EXPECT_EQ(standard.integer("AppleAccentColor"), 6);
    EXPECT_TRUE(standard.remove("AppleAccentColor"));
    EXPECT_FALSE(standard.remove("AppleAccentColor"));
    EXPECT_EQ(standard.integer("AppleAccentColor"), 4);
    EXPECT_EQ(standard.integer("width"), 240);

    // Registered values are never written, and other domains see neither them nor the program's.
    const std::optional<QVariantMap> written = PropertyList::parseDictionary(home.readFile(standardFile));
    ASSERT_TRUE(written.has_value());
    EXPECT_FALSE(written->contains("width"));
    UserDefaults *other = UserDefaults::suite("com.example.other");
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->contains("width"));
    EXPECT_EQ(other->integer("AppleAccentColor"), 4);
    EXPECT_FALSE(global.contains("width"));

    EXPECT_EQ(UserDefaults::suite("NSGlobalDomain"), &global);
    EXPECT_EQ(UserDefaults::suite(UserDefaults::standardDomainName), &standard);
    EXPECT_EQ(UserDefaults::suite(""), nullptr);
    EXPECT_EQ(UserDefaults::suite("../escape"), nullptr);
    EXPECT_EQ(UserDefaults::suite(".."), nullptr);
}

TEST_F(UserDefaultsTest, AnotherProcessesWriteIsSeenByTheNextReadAndNotified)
{
    UserDefaults &standard = UserDefaults::standard();
    standard.setValue("mine", QStringLiteral("kept"));
    EXPECT_EQ(standard.string("theirs"), std::nullopt);

    const auto theirSave = [&](const QString &file, const QVariantMap &values) {
        OutsideWriter::replaceByRename(home.filePath(file), PropertyList::toBinary(values));
    };
    QSignalSpy spy(&standard, &UserDefaults::valueChanged);
    theirSave(standardFile, {{"mine", "kept"}, {"theirs", 1}});
    EXPECT_EQ(standard.integer("theirs"), 1);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), "theirs");
    EXPECT_FALSE(spy.at(0).at(1).isValid());
    EXPECT_EQ(spy.at(0).at(2), QVariant(qint64(1)));

    // Two replacements of the same size in quick succession are still told apart.
    theirSave(standardFile, {{"mine", "kept"}, {"theirs", 2}});
    EXPECT_EQ(standard.integer("theirs"), 2);

    // A write here keeps the key the other process added since.
    theirSave(standardFile, {{"mine", "kept"}, {"theirs", 2}, {"late", true}});
    ASSERT_TRUE(standard.setValue("own", 5));
    const QVariantMap onDisk =
        PropertyList::parseDictionary(home.readFile(standardFile)).value_or(QVariantMap());
    EXPECT_EQ(onDisk.keys(), (QStringList {"late", "mine", "own", "theirs"}));

    // A change of the global domain by another process reaches the program's domain.
    QSignalSpy standardSpy(&standard, &UserDefaults::valueChanged);
    theirSave(globalFile, {{"AppleAccentColor", 4}});
    EXPECT_EQ(standard.string("AppleAccentColor"), QStringLiteral("4"));
    ASSERT_EQ(standardSpy.count(), 1);
    EXPECT_EQ(standardSpy.at(0).at(0).toString(), "AppleAccentColor");
}

TEST_F(UserDefaultsTest, ChangeSignalsCarryEffectiveValuesAndOnlyRealChanges)
{
    UserDefaults &standard = UserDefaults::standard();
    QSignalSpy spy(&standard, &UserDefaults::valueChanged);
    QSignalSpy any(&standard, &UserDefaults::changed);

    standard.registerDefaults({{"size", 10}});
    standard.setValue("size", 12);
    standard.setValue("size", 12); // equal: no signal
    standard.remove("size"); // back to the registered 10
    standard.remove("size"); // nothing there: no signal
    UserDefaults::global().setValue("size", 30); // shadowed? no: standard has no own value now
    standard.setValue("fresh", QStringLiteral("x"));

    ASSERT_EQ(spy.count(), 5);
    auto check = [&](int i, const QVariant &oldValue, const QVariant &newValue) {
        EXPECT_EQ(spy.at(i).at(1), oldValue) << i;
        EXPECT_EQ(spy.at(i).at(2), newValue) << i;
    };
    check(0, QVariant(), QVariant(qint64(10)));
    check(1, QVariant(qint64(10)), QVariant(qint64(12)));
    check(2, QVariant(qint64(12)), QVariant(qint64(10)));
    check(3, QVariant(qint64(10)), QVariant(qint64(30)));
    check(4, QVariant(), QVariant(QStringLiteral("x")));
    EXPECT_EQ(any.count(), 5);

    // A global change hidden by the domain's own value changes nothing the program sees.
    standard.setValue("size", 1);
    spy.clear();
    UserDefaults::global().setValue("size", 31);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(UserDefaultsTest, RefusesWhatItCannotStoreAndChangesNothing)
{
    UserDefaults &standard = UserDefaults::standard();
    standard.setValue("keep", 1);
    const QByteArray before = home.readFile(standardFile);
    EXPECT_FALSE(standard.setValue("colour", QColor(Qt::red)));
    EXPECT_FALSE(standard.setValue("list", QVariantList {1, QColor(Qt::red)}));
    EXPECT_FALSE(standard.setValue("", 1));
    EXPECT_FALSE(standard.setValue("huge", std::numeric_limits<quint64>::max()));
    EXPECT_EQ(home.readFile(standardFile), before);
    EXPECT_FALSE(standard.contains("colour"));

    // Storing the value the file holds already leaves the file as it is (a rewrite would be binary).
    const QByteArray xml = xmlDictionary("<key>keep</key><integer>1</integer>\n");
    home.writeFile(standardFile, xml);
    EXPECT_TRUE(standard.setValue("keep", 1));
    EXPECT_EQ(home.readFile(standardFile), xml);
    EXPECT_TRUE(standard.setValue("keep", 2));
    EXPECT_EQ(standard.integer("keep"), 2);
    EXPECT_NE(home.readFile(standardFile), xml);

    // Whether a write is needed is decided on the value as stored, not as read.
    const QList<std::tuple<QVariant, QVariant, bool>> writes {
        {quint64(1) << 63, std::numeric_limits<qint64>::min(), true},
        {std::numeric_limits<quint64>::max(), qint64(-1), true},
        {0.0, -0.0, true},
        {-0.0, 0.0, true},
        {1.5f, 1.5, true},
        {qQNaN(), qQNaN(), false},
        {QVariant::fromValue(Platform::PropertyListDate {786000000.123}),
         QDateTime(QDate(2025, 11, 28), QTime(5, 20, 0, 123), Qt::UTC), false},
    };
    int index = 0;
    for (const auto &[stored, value, written] : writes) {
        const QString name = QStringLiteral("com.example.write%1").arg(index++);
        const QString file = "Library/Preferences/" + name + ".plist";
        const QByteArray bytes = PropertyList::toBinary(QVariantMap {{"k", stored}});
        home.writeFile(file, bytes);
        EXPECT_TRUE(UserDefaults::suite(name)->setValue("k", value)) << name.toStdString();
        const QVariant onDisk =
            PropertyList::read(home.readFile(file), PropertyList::Form::Exact).value.toMap().value("k");
        EXPECT_EQ(home.readFile(file) != bytes, written) << name.toStdString();
        EXPECT_TRUE(PropertyList::identical(onDisk, written ? value : stored)) << name.toStdString();
    }
}

// A write that would leave a domain its readers refuse is refused naming the limit; the file stays.
TEST_F(UserDefaultsTest, AWriteNeverLeavesADomainItsReadersRefuse)
{
    // Mostly ASCII with one other character: twice the size once its text is UTF-16.
    const QByteArray text = QByteArray(9'000'000, 'a') + "\xC3\xA9";
    const auto nested = [](int levels) {
        QVariant value = QVariantList();
        for (int level = 1; level < levels; ++level)
            value = QVariantList {value};
        return value;
    };
    const QList<std::tuple<QByteArray, QVariant, QString>> cases {
        {xmlDictionary("<key>text</key><string>" + text + "</string>"), 1, "16777216 bytes"},
        {"not a property list", QByteArray(PropertyList::maximumSize, 'x'), "16777216 bytes"},
        // 73 bytes once written, one level too deep with the domain around it.
        {QByteArray(), nested(PropertyList::maximumDepth), "512 levels"},
    };
    int index = 0;
    for (const auto &[bytes, value, limit] : cases) {
        const QString name = QStringLiteral("com.example.large%1").arg(index++);
        const QString file = "Library/Preferences/" + name + ".plist";
        if (!bytes.isNull()) {
            home.writeFile(file, bytes);
            TestSupport::OutsideWriter::age(home.filePath(file), 61); // damaged for long: no save under way
        }
        QString error;
        EXPECT_FALSE(UserDefaults::suite(name)->setValue("k", value, &error));
        EXPECT_TRUE(error.contains(limit)) << error.toStdString();
        EXPECT_EQ(home.readFile(file), bytes);
        EXPECT_FALSE(QFileInfo::exists(home.filePath(file + ".corrupt")));
    }
}

TEST_F(UserDefaultsTest, DamagedFileReadsEmptyAndIsKeptBeforeTheFirstWrite)
{
    const QByteArray truncated = PropertyList::toBinary(QVariantMap {{"a", 1}, {"b", "two"}}).left(20);
    home.writeFile(standardFile, truncated);
    UserDefaults &standard = UserDefaults::standard();
    EXPECT_FALSE(standard.contains("a"));
    EXPECT_TRUE(standard.persistentDomain().isEmpty());
    EXPECT_EQ(home.readFile(standardFile), truncated); // reading never rewrites

    ASSERT_TRUE(standard.setValue("c", 3));
    EXPECT_EQ(home.readFile(standardFile + ".corrupt"), truncated);
    EXPECT_EQ(PropertyList::parseDictionary(home.readFile(standardFile)).value_or(QVariantMap()).keys(),
              QStringList {"c"});

    // A second damage does not overwrite the first kept copy.
    home.writeFile(standardFile, "not a property list");
    ASSERT_TRUE(standard.setValue("d", 4));
    EXPECT_EQ(home.readFile(standardFile + ".corrupt"), truncated);
    EXPECT_EQ(home.readFile(standardFile + ".corrupt-2"), "not a property list");

    // A file whose root is not a dictionary is damaged too.
    home.writeFile("Library/Preferences/com.example.array.plist", PropertyList::toXml(QVariantList {1, 2}));
    EXPECT_TRUE(UserDefaults::suite("com.example.array")->persistentDomain().isEmpty());
}

TEST(UserDefaultsHomes, EachHomeHasItsOwnValuesAndRegistrations)
{
    UserDefaults *first = nullptr;
    {
        TempHome home;
        first = &UserDefaults::standard();
        first->setValue("k", 1);
        first->registerDefaults({{"r", true}});
    }
    TempHome other;
    UserDefaults &second = UserDefaults::standard();
    EXPECT_NE(&second, first);
    EXPECT_FALSE(second.contains("k"));
    EXPECT_FALSE(second.contains("r"));
    EXPECT_EQ(second.filePath(), other.filePath(standardFile));
}

// Real programs' files: texts holding U+0000, microsecond dates. A write keeps every other value exactly.
TEST_F(UserDefaultsTest, TextsWithNulAndMicrosecondDatesKeepEveryValueThroughAWrite)
{
    const double seconds = 786000000.123456;
    const QByteArray binary = list({dictionary({{1, 2}, {3, 4}, {5, 6}}), ascii("geometry"), utf16(variant),
                                    ascii("lastCheck"), date(seconds), ascii("name"), ascii("Mono")});
    const QByteArray xml = xmlDictionary("<key>geometry</key><string>@Variant(&#0;" + QByteArray(2, '\0')
                                         + "\xC2\x87\xC3\xA9x&#x0;)</string>\n"
                                           "<key>lastCheck</key><date>2025-11-28T05:20:00Z</date>\n"
                                           "<key>name</key><string>Mono</string>\n");
    const QList<std::tuple<QString, QByteArray, double>> domains {{"com.example.binary", binary, seconds},
                                                                  {"com.example.xml", xml, 786000000.0}};
    for (const auto &[name, bytes, stored] : domains) {
        const QString file = "Library/Preferences/" + name + ".plist";
        home.writeFile(file, bytes);
        UserDefaults *domain = UserDefaults::suite(name);
        EXPECT_EQ(domain->string("geometry"), variant) << name.toStdString();
        EXPECT_EQ(domain->string("name"), QStringLiteral("Mono"));
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(domain->setValue("written", round));
            const QVariantMap onDisk =
                PropertyList::read(home.readFile(file), PropertyList::Form::Exact).value.toMap();
            EXPECT_EQ(onDisk.value("geometry"), QVariant(variant)) << name.toStdString();
            EXPECT_EQ(onDisk.value("lastCheck"), QVariant::fromValue(Platform::PropertyListDate {stored}));
            EXPECT_EQ(onDisk.value("name"), QVariant(QStringLiteral("Mono")));
            EXPECT_EQ(onDisk.value("written"), QVariant(qint64(round)));
        }
        EXPECT_FALSE(QFile::exists(home.filePath(file + ".corrupt")));
    }
}

// A domain that cannot be read or written back as it is stays exactly as it was, and nothing waits on it.
TEST_F(UserDefaultsTest, FilesThatCannotBeWrittenBackUnchangedAreNeverReplaced)
{
    using Make = std::function<bool(const QString &)>;
    const auto contents = [](const QByteArray &bytes) -> Make {
        return [bytes](const QString &path) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
    };
    const QList<std::tuple<const char *, Make, const char *>> hostile {
        {"text in no valid UTF-8", contents(xmlDictionary("<key>k</key><string>caf\xE9</string>")),
         "not valid UTF-8"},
        {"200,000 nested XML arrays", contents(nestedXmlArrays(200000)), "nests deeper"},
        {"a key twice", contents(xmlDictionary("<key>k</key><true/><key>k</key><false/>")), "twice"},
        {"100 MB", [](const QString &path) { return HostileFiles::makeSparseFile(path, 100 * 1024 * 1024); },
         "too large"},
        {"a named pipe", HostileFiles::makePipe, "not a regular file"},
        {"a link to itself", HostileFiles::makeLinkLoop, "symbolic links"},
    };
    // What stands at the path: its kind, size, link target and, for small regular files, its bytes.
    const auto identityOf = [](const QString &path) {
        const QFileInfo info(path);
        QFile file(path);
        const bool small = info.isFile() && info.size() < 1024 * 1024 && file.open(QIODevice::ReadOnly);
        return std::tuple(info.isSymLink(), info.isFile(), info.size(), info.symLinkTarget(),
                          small ? file.readAll() : QByteArray());
    };
    int index = 0;
    for (const auto &[what, make, reason] : hostile) {
        const QString name = QStringLiteral("com.example.hostile%1").arg(index++);
        const QString path = home.filePath("Library/Preferences/" + name + ".plist");
        QDir().mkpath(QFileInfo(path).absolutePath());
        ASSERT_TRUE(make(path)) << what;
        const auto before = identityOf(path);
        UserDefaults *domain = UserDefaults::suite(name);
        QVariant value;
        bool written = true;
        QString error;
        const auto took = TestSupport::timeWithPipes({path}, [&] {
            value = domain->value("k");
            written = domain->setValue("k", 1, &error);
        });
        EXPECT_LT(took, TestSupport::stuckOnAPipe) << what;
        EXPECT_FALSE(value.isValid()) << what;
        EXPECT_FALSE(written) << what;
        EXPECT_TRUE(error.contains(path) && error.contains(reason)) << what << ": " << error.toStdString();
        EXPECT_EQ(domain->problem().isEmpty(), false) << what;
        EXPECT_TRUE(identityOf(path) == before) << what;
        EXPECT_FALSE(QFileInfo::exists(path + ".corrupt")) << what;
    }
}

// A file emptied by another program's save in place is never taken for an empty or damaged domain.
TEST_F(UserDefaultsTest, AFileEmptiedByAnotherProgramsSaveIsNeverWrittenOverAsEmpty)
{
    using TestSupport::OutsideWriter;
    using Step = OutsideWriter::Step;
    const QByteArray theirs = PropertyList::toBinary(QVariantMap {{"a", 1}, {"b", "two"}});
    const QByteArray half = theirs.left(theirs.size() / 2);
    const QString terminal = QStringLiteral("Library/Preferences/com.apple.Terminal.plist");
    const TestSupport::SettleTime settle(std::chrono::milliseconds(400));
    // What another program does once the write has begun: nothing, empty the file in place right after the
    // write read it, or write it whole in place a moment later.
    enum class Then { nothing, emptied, completed };
    struct Case
    {
        const char *name;
        QString file;
        QByteArray content; // what the file holds when the write comes
        int age; // seconds since it changed
        Then then;
        QStringList keys; // the domain's keys afterwards; none: it was not written
        QString said = {}; // a part of what the write says
    };
    const QString waiting = "another program may still be saving it";
    const QString keptAside = "it was kept as " + home.filePath(terminal) + ".corrupt and";
    const Case cases[] = {
        {"half written, completed while waited for", terminal, half, 0, Then::completed, {"a", "b", "c"}},
        {"emptied and left empty: not written", terminal, theirs, 0, Then::emptied, {}, waiting},
        {"half written, left so: not written nor set aside", terminal, half, 0, Then::nothing, {}, waiting},
        {"emptied over a minute ago: written at once", terminal, "", 61, Then::nothing, {"c"}},
        {"no property list for a minute: set aside", terminal, half, 61, Then::nothing, {"c"}, keptAside},
        {"the program's own domain, emptied just now: written", standardFile, "", 0, Then::nothing, {"c"}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        const QString path = home.filePath(test.file);
        QFile::remove(path + ".corrupt");
        home.writeFile(test.file, theirs);
        UserDefaults &domain =
            test.file == standardFile ? UserDefaults::standard() : *UserDefaults::suite("com.apple.Terminal");
        ASSERT_EQ(domain.value("a"), QVariant(1));
        home.writeFile(test.file, test.content);
        OutsideWriter::age(path, test.age);
        const auto started = std::chrono::steady_clock::now();
        QString error;
        bool written = false;
        {
            OutsideWriter outside(path);
            if (test.then == Then::emptied)
                outside.at(Step::Replacing, 1, [&] { OutsideWriter::truncate(path); });
            std::thread saver([&] {
                if (test.then != Then::completed)
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                OutsideWriter::writeInPlace(path, theirs);
            });
            written = domain.setValue("c", 3, &error);
            saver.join();
        }
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(written, !test.keys.isEmpty()) << qPrintable(error);
        EXPECT_TRUE(error.contains(test.said)) << qPrintable(error);
        if (test.keys.isEmpty()) {
            EXPECT_GE(took, std::chrono::milliseconds(400)) << "waited for";
            EXPECT_EQ(home.readFile(test.file), test.then == Then::emptied ? QByteArray() : test.content);
            EXPECT_FALSE(QFile::exists(path + ".corrupt"));
        } else {
            EXPECT_EQ(PropertyList::parseDictionary(home.readFile(test.file)).value_or(QVariantMap()).keys(),
                      test.keys);
        }
    }
    EXPECT_EQ(home.readFile(terminal + ".corrupt"), half);

    // Nothing is locked while a write waits: reads of this domain and those falling back on it go on.
    home.writeFile(globalFile, "");
    std::thread writer([] { EXPECT_FALSE(UserDefaults::global().setValue("k", 1)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(UserDefaults::suite("com.example.other")->value("k").isValid());
    EXPECT_FALSE(UserDefaults::global().value("k").isValid());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(150));
    writer.join();
}

// A write does what a user expects: owners kept under root, clocks ahead, links to damaged files, folders.
TEST_F(UserDefaultsTest, OwnersLinksFoldersAndLongNamesAreAsAUserExpects)
{
    const QString folder = home.filePath("Library/Preferences");
    QDir().mkpath(folder);
    const bool root = ::geteuid() == 0;
    const auto owner = [](const QString &path) {
        struct stat info
        {
        };
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? std::pair(info.st_uid, info.st_gid)
                                                                        : std::pair(uid_t(-1), gid_t(-1));
    };
    const auto giveAway = [](const QString &path) {
        return ::chown(QFile::encodeName(path).constData(), 4321, 4321) == 0;
    };
    struct Case
    {
        const char *name;
        QByteArray content; // of the domain's file; null: it is a link to "dotfiles/<name>.plist"
        std::function<void(const QString &path)> prepare;
        bool asAUser; // held to the permissions of files, as any user is (root included)
        bool written;
        std::function<void(const QString &path, const QString &error)> check;
        QString domain = {}; // "com.example.case<n>" unless given
    };
    const QByteArray theirs = PropertyList::toBinary(QVariantMap {{"a", 1}});
    const auto readOnlyFolder = [&](bool withLock) {
        return [&, withLock](const QString &path) {
            if (withLock)
                home.writeFile(QDir(home.path()).relativeFilePath(path + ".lock"), "");
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        };
    };
    const auto folderNotWritten = [&](const QString &, const QString &error) {
        EXPECT_TRUE(error.contains("its folder " + folder + " cannot be written")) << qPrintable(error);
    };
    // Its file's name is as long as a name may be.
    const QString longDomain = "com.example." + QString(255 - 18, QLatin1Char('l'));
    const QList<Case> cases {
        {"a user's file written by root stays the user's, its lock file too", theirs,
         [&](const QString &path) {
             if (root) {
                 ASSERT_TRUE(giveAway(path) && giveAway(folder));
             }
         },
         false, true,
         [&](const QString &path, const QString &) {
             const auto expected = root ? std::pair(uid_t(4321), gid_t(4321)) : owner(folder);
             EXPECT_EQ(owner(path), expected);
             EXPECT_EQ(owner(path + ".lock"), expected);
             ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), ::geteuid(), ::getegid()), 0);
         }},
        {"damaged through a link: set aside beside its target",
         QByteArray(),
         {},
         false,
         true,
         [&](const QString &path, const QString &error) {
             const QString target = QFileInfo(path).symLinkTarget();
             EXPECT_EQ(target, home.filePath("dotfiles/com.example.case1.plist"));
             EXPECT_EQ(home.readFile("dotfiles/com.example.case1.plist.corrupt"), "damaged");
             EXPECT_TRUE(error.contains(target + ".corrupt")) << qPrintable(error);
             EXPECT_FALSE(QFileInfo::exists(path + ".corrupt"));
         }},
        {"in a folder that cannot be written, before its lock file is made", theirs, readOnlyFolder(false),
         true, false, folderNotWritten},
        {"in a folder that cannot be written, with its lock file", theirs, readOnlyFolder(true), true, false,
         folderNotWritten},
        {"damaged, a 255-byte name: its lock file and copy named within the bound",
         "damaged",
         {},
         false,
         true,
         [&](const QString &path, const QString &error) {
             const QString shortName = QFileInfo(InterruptedExchanges::besideName(path, {})).fileName();
             EXPECT_LT(QFile::encodeName(shortName).size(), 200);
             QStringList expected {QFileInfo(path).fileName(), shortName + ".lock", shortName + ".corrupt"};
             expected.sort();
             EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(longDomain.left(30)),
                       expected);
             EXPECT_EQ(home.readFile("Library/Preferences/" + shortName + ".corrupt"), "damaged");
             EXPECT_TRUE(error.contains(folder + "/" + shortName + ".corrupt")) << qPrintable(error);
             EXPECT_EQ(UserDefaults::suite(longDomain)->integer("k"), 2);
         },
         longDomain},
        {"damaged a tenth time, of a 245-byte file name: the longest ending still fits", "damaged",
         [&](const QString &path) {
             for (int n = 1; n < 10; ++n)
                 home.writeFile(QDir(home.path())
                                    .relativeFilePath(InterruptedExchanges::besideName(
                                        path, n > 1 ? QStringLiteral(".corrupt-%1").arg(n) : ".corrupt")),
                                "earlier");
         },
         false, true,
         [&](const QString &path, const QString &error) {
             const QString tenth = InterruptedExchanges::besideName(path, ".corrupt-10");
             EXPECT_LE(QFile::encodeName(QFileInfo(tenth).fileName()).size(), 255);
             EXPECT_EQ(home.readFile(QDir(home.path()).relativeFilePath(tenth)), "damaged");
             EXPECT_TRUE(error.contains(tenth)) << qPrintable(error);
         },
         "com.example." + QString(245 - 18, QLatin1Char('t'))},
    };
    // Damaged long enough ago that no program is still saving it.
    const int age = 120;
    int index = 0;
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        const QString name =
            test.domain.isEmpty() ? QStringLiteral("com.example.case%1").arg(index) : test.domain;
        ++index;
        const QString path = folder + "/" + name + ".plist";
        if (test.content.isNull()) {
            home.writeFile("dotfiles/" + name + ".plist", "damaged");
            OutsideWriter::age(home.filePath("dotfiles/" + name + ".plist"), age);
            ASSERT_TRUE(QFile::link(home.filePath("dotfiles/" + name + ".plist"), path));
        } else {
            home.writeFile("Library/Preferences/" + name + ".plist", test.content);
            OutsideWriter::age(path, age);
        }
        if (test.prepare)
            test.prepare(path);
        QString error;
        bool written = false;
        {
            std::optional<TestSupport::PermissionsHeld> held;
            if (test.asAUser)
                held.emplace();
            written = UserDefaults::suite(name)->setValue("k", 2, &error);
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(written, test.written) << qPrintable(error);
        EXPECT_FALSE(error.contains("locked")) << qPrintable(error);
        const QVariantMap stored =
            PropertyList::parseDictionary(home.readFile("Library/Preferences/" + name + ".plist"))
                .value_or(QVariantMap());
        EXPECT_EQ(stored.value("k"), test.written ? QVariant(qint64(2)) : QVariant());
        if (test.check)
            test.check(path, error);
    }
}

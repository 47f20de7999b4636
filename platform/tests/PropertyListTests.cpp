#include "platform/PropertyList.h"
#include "testsupport/PropertyListFixtures.h"

#include "testsupport/ScopedVariable.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <optional>

using Platform::PropertyList;
using Platform::PropertyListDate;
using Platform::PropertyListUid;
using Status = Platform::PropertyList::Status;
using namespace TestSupport::PropertyListFixtures;

namespace {

// How a serialised value of Qt's own settings looks as a text: it starts with four bytes of type.
const QString variantText = QStringLiteral("@Variant(") + QChar(0) + QChar(0) + QChar(0) + QChar(0x87)
    + QStringLiteral("?\x80") + QChar(0) + QChar(0) + QStringLiteral(")");

QVariant exact(const QByteArray &bytes)
{
    const PropertyList::Reading reading = PropertyList::read(bytes, PropertyList::Form::Exact);
    EXPECT_TRUE(reading.isRead()) << reading.error.toStdString();
    return reading.value;
}

} // namespace

TEST(PropertyListLimits, HostileListsAreRefusedAndListsWithinTheLimitsRead)
{
    // Each level refers twice to the next: 2^60 values from 60 objects.
    QList<QByteArray> doubling;
    for (quint32 i = 0; i < 59; ++i)
        doubling.append(array({i + 1, i + 1}));
    doubling.append(QByteArray("\x09"));

    const QList<std::tuple<const char *, QByteArray, Status>> refused {
        {"binary nesting past the limit", nestedArrays(PropertyList::maximumDepth + 1), Status::Unusable},
        {"200,000 nested binary arrays", nestedArrays(200000), Status::Unusable},
        {"XML nesting past the limit", nestedXmlArrays(PropertyList::maximumDepth + 1), Status::Unusable},
        {"200,000 nested XML arrays", nestedXmlArrays(200000), Status::Unusable},
        {"shared references", list(doubling), Status::Unusable},
        // An array of 200 levels, used first near the top (allowed) and then from 400 levels down.
        {"shared nesting",
         [] {
             QList<QByteArray> objects;
             for (quint32 i = 0; i < 400; ++i)
                 objects.append(array({401, i + 1}));
             objects.append(array({}));
             for (quint32 i = 401; i < 600; ++i)
                 objects.append(array({i + 1}));
             objects.append(array({}));
             return list(objects);
         }(),
         Status::Unusable},
        {"text in no valid UTF-8", xmlDictionary("<key>k</key><string>caf\xE9</string>"), Status::Unusable},
        {"encoded surrogate", xmlDictionary("<key>k</key><string>\xED\xA0\x80</string>"), Status::Unusable},
        {"a key twice", xmlDictionary("<key>k</key><true/><key>k</key><false/>"), Status::Unusable},
        {"a binary key twice",
         list({dictionary({{1, 3}, {2, 3}}), ascii("k"), ascii("k"), QByteArray("\x09")}), Status::Unusable},
        {"an ASCII text with a byte past 0x7F", list({ascii("caf\xE9")}), Status::Unusable},
        {"an integer past 64 bits", xmlDictionary("<key>k</key><integer>18446744073709551616</integer>"),
         Status::Unusable},
        {"a reference cycle", list({array({1}), array({0})}), Status::Damaged},
        {"a reference past the objects", list({array({7})}), Status::Damaged},
        {"a key that is no text", list({dictionary({{1, 1}}), QByteArray("\x09")}), Status::Damaged},
        {"truncated", PropertyList::toBinary(QVariantMap {{"a", 1}}).chopped(3), Status::Damaged},
        {"an unclosed dictionary", "<plist><dict><key>a</key><true/></plist>", Status::Damaged},
        {"a key without a value", xmlDictionary("<key>a</key>"), Status::Damaged},
        {"not a list", "not a property list", Status::Damaged},
        {"a real in another syntax", xmlDictionary("<key>k</key><real>0x1p3</real>"), Status::Damaged},
    };
    for (const auto &[what, bytes, status] : refused) {
        const PropertyList::Reading reading = PropertyList::read(bytes);
        EXPECT_EQ(reading.status, status) << what << ": " << reading.error.toStdString();
        EXPECT_FALSE(reading.error.isEmpty()) << what;
        EXPECT_FALSE(PropertyList::parseDictionary(bytes).has_value()) << what;
    }

    EXPECT_TRUE(PropertyList::parse(nestedArrays(PropertyList::maximumDepth)).isValid());
    EXPECT_TRUE(PropertyList::parse(nestedXmlArrays(PropertyList::maximumDepth)).isValid());

    // Nor are such lists written, in either form: each refusal names its own limit.
    const auto nested = [](int levels) {
        QVariant value = QVariantList {1};
        for (int level = 1; level < levels; ++level)
            value = QVariantList {value};
        return value;
    };
    const QList<std::tuple<const char *, QVariant, QString>> unwritable {
        {"nesting past the limit", nested(PropertyList::maximumDepth + 1), "512 levels"},
        {"values past the limit", QVariantList(PropertyList::maximumNodes + 1, true),
         "would hold more than 200000 values"},
        {"bytes past the limit", QByteArray(PropertyList::maximumSize, 'x'), "16777216 bytes"},
    };
    for (const auto &[what, value, limit] : unwritable) {
        QString binaryError, xmlError;
        EXPECT_TRUE(PropertyList::toBinary(value, &binaryError).isEmpty()) << what;
        EXPECT_TRUE(PropertyList::toXml(value, &xmlError).isEmpty()) << what;
        EXPECT_TRUE(binaryError.contains(limit) && xmlError.contains(limit))
            << what << ": " << binaryError.toStdString() << " / " << xmlError.toStdString();
    }
    // A list of exactly the largest size is written and read again, from a file too; a byte more is not.
    qsizetype exact = PropertyList::maximumSize - 100;
    for (int step = 0; step < 3; ++step)
        exact += PropertyList::maximumSize - PropertyList::toBinary(QByteArray(exact, 'x')).size();
    const QByteArray largest = PropertyList::toBinary(QByteArray(exact, 'x'));
    ASSERT_EQ(largest.size(), PropertyList::maximumSize);
    QTemporaryDir folder;
    QFile file(folder.filePath("largest.plist"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(largest) == largest.size());
    file.close();
    EXPECT_EQ(PropertyList::readFile(file.fileName()).value.toByteArray().size(), exact);
    EXPECT_TRUE(PropertyList::toBinary(QByteArray(exact + 1, 'x')).isEmpty());
    EXPECT_TRUE(PropertyList::parse(PropertyList::toBinary(nested(PropertyList::maximumDepth))).isValid());
    EXPECT_TRUE(PropertyList::parse(PropertyList::toXml(nested(PropertyList::maximumDepth))).isValid());
    // Shared objects within the limits expand.
    EXPECT_EQ(PropertyList::parse(list({array({1, 1}), QByteArray("\x10\x05")})),
              QVariant(QVariantList {qint64(5), qint64(5)}));
    // Empty containers are values, not levels of nesting, to the reader and the writer.
    const QVariant manyEmpty = PropertyList::parse(
        "<plist><array>" + QByteArray("<array/><dict/>").repeated(2000) + "</array></plist>");
    EXPECT_EQ(manyEmpty.toList().size(), 4000);
    EXPECT_EQ(PropertyList::parse(PropertyList::toBinary(manyEmpty)), manyEmpty);
    // The reader and the writer count values alike, keys included: a dictionary at the limit is read and
    // written back; one value more is neither.
    QByteArray members;
    for (int i = 0; i < PropertyList::maximumNodes / 2 - 2; ++i)
        members += "<key>k" + QByteArray::number(i) + "</key><true/>";
    const PropertyList::Reading atLimit =
        PropertyList::read(xmlDictionary(members + "<key>list</key><array><true/></array>"));
    ASSERT_TRUE(atLimit.isRead()) << qPrintable(atLimit.error);
    EXPECT_TRUE(PropertyList::read(PropertyList::toBinary(atLimit.value)).isRead());
    QVariantMap oneMore = atLimit.value.toMap();
    oneMore.insert("one more", true);
    QString error;
    EXPECT_TRUE(PropertyList::toBinary(oneMore, &error).isEmpty());
    EXPECT_TRUE(error.contains("would hold more than 200000 values")) << qPrintable(error);
    const PropertyList::Reading past =
        PropertyList::read(xmlDictionary(members + "<key>list</key><array><true/><true/></array>"));
    EXPECT_TRUE(past.error.contains("it holds more than 200000 values")) << qPrintable(past.error);
}

TEST(PropertyListTexts, EveryCharacterSurvivesBothForms)
{
    const QString loneSurrogate = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
    // Read as other programs write them: UTF-16 and ASCII objects, raw U+0000 and references in XML.
    EXPECT_EQ(
        PropertyList::parseDictionary(list({dictionary({{1, 2}}), utf16(variantText), utf16(variantText)})),
        QVariantMap({{variantText, variantText}}));
    EXPECT_EQ(PropertyList::parse(list({ascii(QByteArray("a\0b", 3))})),
              QVariant(QStringLiteral("a") + QChar(0) + "b"));
    EXPECT_EQ(PropertyList::parse(list({utf16(loneSurrogate)})), QVariant(loneSurrogate));
    const QByteArray rawNul(1, '\0');
    EXPECT_EQ(PropertyList::parseDictionary(
                  xmlDictionary("<key>k&#0;</key><string>a" + rawNul + "b&#x0;&#65;&lt;</string>")),
              QVariantMap({{QStringLiteral("k") + QChar(0),
                            QStringLiteral("a") + QChar(0) + "b" + QChar(0) + "A<"}}));

    // Written and read again unchanged, keys included; the XML form holds only what XML 1.0 allows.
    const QList<std::pair<QString, bool>> texts {{variantText, false},
                                                 {QStringLiteral("\r\n\t\x01 <&> ]]> ü 🎨"), false},
                                                 {QStringLiteral("\r\n\t <&> ]]> ü 🎨 \uFFFD"), true},
                                                 {QString(QChar(0)), false},
                                                 {loneSurrogate, false},
                                                 {QString(), true}};
    for (const auto &[text, inXml] : texts) {
        const QVariant value(QVariantMap {{text, QVariantList {text}}});
        EXPECT_EQ(PropertyList::parse(PropertyList::toBinary(value)), value) << text.toStdString();
        EXPECT_EQ(PropertyList::parse(PropertyList::toXml(value)), inXml ? value : QVariant())
            << text.toStdString();
        EXPECT_TRUE(PropertyList::normalized(value).isValid());
    }
}

// A character XML 1.0 cannot hold makes the XML form refuse the list, naming the character.
TEST(PropertyListTexts, XmlRefusesWhatXmlCannotHold)
{
    const QList<std::pair<char16_t, QString>> characters {
        {0x0000, "U+0000"},    {0x0001, "U+0001"},    {0x0008, "U+0008"}, {0x000B, "U+000B"},
        {0x000C, "U+000C"},    {0x001F, "U+001F"},    {0xFFFE, "U+FFFE"}, {0xFFFF, "U+FFFF"},
        {0xD800, "surrogate"}, {0xDFFF, "surrogate"},
    };
    for (const auto &[unit, named] : characters) {
        const QString text = QStringLiteral("a") + QChar(unit) + QStringLiteral("b");
        const QList<std::pair<const char *, QVariant>> places {
            {"value", text},
            {"key", QVariantMap {{text, 1}}},
            {"nested value", QVariantMap {{"k", QVariantList {1, QVariantMap {{"n", text}}}}}},
            {"nested key", QVariantList {QVariantMap {{"k", QVariantMap {{text, true}}}}}},
        };
        for (const auto &[place, value] : places) {
            QString error;
            EXPECT_TRUE(PropertyList::toXml(value, &error).isEmpty())
                << named.toStdString() << " in a " << place;
            EXPECT_TRUE(error.contains(named)) << place << ": " << error.toStdString();
            EXPECT_FALSE(PropertyList::toBinary(value).isEmpty()) << place;
        }
    }
}

// Read as XML defines its text and as the form's other readers take numbers.
TEST(PropertyListTexts, XmlReadsAsOtherReadersDo)
{
    const double infinity = std::numeric_limits<double>::infinity();
    const QString bom(QChar(0xFEFF));
    const QList<std::pair<QByteArray, QVariantMap>> cases {
        {"<key>a</key><real>1e400</real><key>b</key><real>-1E400</real><key>c</key><real>1e-400</real>"
         "<key>d</key><real>-1e-400</real><key>e</key><real>4.9e-324</real><key>f</key><real>-Infinity</"
         "real>",
         {{"a", infinity},
          {"b", -infinity},
          {"c", 0.0},
          {"d", -0.0},
          {"e", std::numeric_limits<double>::denorm_min()},
          {"f", -infinity}}},
        {"<key>a</key><real>-nan</real><key>b</key><real>NaN</real><key>c</key><real>+nan</real>",
         {{"a", qQNaN()}, {"b", qQNaN()}, {"c", qQNaN()}}},
        {"<key>min</key><integer>-9223372036854775808</integer>",
         {{"min", std::numeric_limits<qint64>::min()}}},
        {"<key>a\r\nb</key><string>1\r\n2\r3\n<![CDATA[4\r\n]]>5&#13;&#xD;\n</string>",
         {{"a\nb", "1\n2\n3\n4\n5\r\r\n"}}},
        {"<key>\xEF\xBB\xBFk</key><string>\xEF\xBB\xBFv</string><key>k</key><true/>",
         {{bom + "k", bom + "v"}, {"k", true}}},
    };
    for (const auto &[members, expected] : cases) {
        const QVariant value = exact(xmlDictionary(members));
        EXPECT_TRUE(PropertyList::identical(value, expected)) << members.toStdString();
    }
}

// A reader that followed LC_NUMERIC would read "1.5" as 1 under a decimal comma.
TEST(PropertyListTexts, XmlRealsReadTheSameUnderADecimalCommaLocale)
{
    const QByteArray before(std::setlocale(LC_NUMERIC, nullptr));
    const QLocale defaultLocale;
    QTemporaryDir compiled;
    std::optional<TestSupport::ScopedVariable> localePath;
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        // Not installed: built from the system's locale sources, where it has them.
        QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", compiled.filePath("de_DE.UTF-8")});
        localePath.emplace("LOCPATH", compiled.path().toUtf8());
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            GTEST_SKIP() << "no locale with a decimal comma can be had";
    }
    const auto restore = qScopeGuard([&] {
        std::setlocale(LC_NUMERIC, before.constData());
        QLocale::setDefault(defaultLocale);
    });
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    const QVariant read =
        exact(xmlDictionary("<key>r</key><real>1.5</real><key>e</key><real>-2.5e-3</real>"));
    EXPECT_EQ(read, QVariant(QVariantMap {{"r", 1.5}, {"e", -0.0025}}));
    EXPECT_TRUE(PropertyList::toXml(read).contains("<real>1.5</real>"));
}

TEST(PropertyListExact, StoredFormsSurviveARewrite)
{
    // 2025-11-28 with microseconds, as the platform stores a date it took from the clock.
    const double seconds = 786000000.123456;
    const QByteArray stored = list({
        dictionary({{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}}),
        ascii("date"),
        date(seconds),
        ascii("uid"),
        QByteArray("\x80\x07", 2),
        ascii("float"),
        QByteArray("\x22\x3F\xC0\x00\x00", 5),
        ascii("unsigned"),
        QByteArray("\x14", 1) + bigEndian(0, 8) + bigEndian(~quint64(0), 8),
        ascii("negative"),
        QByteArray("\x13", 1) + bigEndian(quint64(-3), 8),
    });
    const QVariantMap values = exact(stored).toMap();
    EXPECT_EQ(values.value("date"), QVariant::fromValue(PropertyListDate {seconds}));
    EXPECT_EQ(values.value("uid"), QVariant::fromValue(PropertyListUid {7}));
    EXPECT_EQ(values.value("float"), QVariant(1.5f));
    EXPECT_EQ(values.value("unsigned"), QVariant(~quint64(0)));
    EXPECT_EQ(values.value("negative"), QVariant(qint64(-3)));
    EXPECT_EQ(exact(PropertyList::toBinary(values)), QVariant(values));

    // Readers get the readable types.
    const std::optional<QVariantMap> read = PropertyList::parseDictionary(stored);
    ASSERT_TRUE(read.has_value());
    const QVariantMap &readable = *read;
    EXPECT_EQ(readable.value("date").toDateTime(),
              QDateTime(QDate(2025, 11, 28), QTime(5, 20, 0, 123), Qt::UTC));
    EXPECT_EQ(readable.value("uid"), QVariant(qint64(7)));
    EXPECT_EQ(readable.value("float"), QVariant(1.5));
    EXPECT_EQ(PropertyList::readable(values), QVariant(readable));

    // The XML form keeps whole seconds; dates before the reference count backwards.
    const QVariant early = QVariant::fromValue(PropertyListDate {-86400.0 * 365 - 0.5});
    EXPECT_TRUE(PropertyList::toXml(early).contains("<date>2000-01-01T23:59:59Z</date>"));
    EXPECT_EQ(exact(xmlDictionary("<key>d</key><date>2025-11-28T05:20:00Z</date>")).toMap().value("d"),
              QVariant::fromValue(PropertyListDate {786000000.0}));
    EXPECT_EQ(PropertyList::read(xmlDictionary("<key>d</key><date>2025-02-29T05:20:00Z</date>")).status,
              Status::Damaged);
}

// Every type at its ends reads back from each form (XML: one kind of real, dates to the second).
TEST(PropertyListExact, EveryTypeAtItsEndsReadsBackFromBothForms)
{
    using Limits = std::numeric_limits<double>;
    const auto when = [](double seconds) {
        return QVariant::fromValue(PropertyListDate {seconds});
    };
    const QString bom(QChar(0xFEFF));
    QVariantMap values {
        {"min", std::numeric_limits<qint64>::min()},
        {"max", std::numeric_limits<qint64>::max()},
        {"unsigned max", std::numeric_limits<quint64>::max()},
        {"unsigned min", quint64(1) << 63},
        {"-1", qint64(-1)},
        {"0", qint64(0)},
        {"reals",
         QVariantList {0.0, -0.0, Limits::infinity(), -Limits::infinity(), Limits::quiet_NaN(),
                       Limits::denorm_min(), -Limits::denorm_min(), Limits::max(), Limits::lowest()}},
        {"date", when(786000000.123456)},
        {"early", when(-0.25)},
        {"texts", QVariantList {QString(), bom, bom + "a\r\n\t"}},
        {bom, QStringLiteral("a key that is only U+FEFF")},
        {QString(), QStringLiteral("an empty key")},
        {"data", QVariantList {QByteArray(), QByteArray("\0\xFF", 2)}},
        {"Booleans", QVariantList {true, false}},
        {"empty", QVariantList {QVariantList(), QVariantMap()}},
        {"nested", QVariantMap {{"", QVariantList {QVariantMap {{"", QVariantMap()}}}}}},
    };
    QVariantMap binary = values;
    binary.insert("float", -0.0f);
    binary.insert("uid", QVariant::fromValue(PropertyListUid {~quint64(0)}));
    binary.insert("surrogate", QString(QChar(0xDC00)));
    binary.insert("controls", QVariantList {QString(QChar(0)), bom + "a\r\n" + QChar(0) + QChar(0xFFFF)});
    QVariantMap xml = values;
    xml.insert("date", when(786000000));
    xml.insert("early", when(-1));

    const QList<std::tuple<const char *, QByteArray, QVariantMap>> forms {
        {"binary", PropertyList::toBinary(binary), binary}, {"XML", PropertyList::toXml(values), xml}};
    for (const auto &[form, bytes, expected] : forms) {
        const QVariantMap read = exact(bytes).toMap();
        EXPECT_EQ(read.keys(), expected.keys()) << form;
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            EXPECT_TRUE(PropertyList::identical(read.value(it.key()), it.value()))
                << form << ": " << it.key().toStdString();
    }
}

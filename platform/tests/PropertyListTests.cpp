#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "testsupport/TempHome.h"

#include <QDateTime>
#include <QFile>
#include <QtEndian>

using Platform::PropertyList;
using Platform::UserDefaults;
using TestSupport::TempHomeTest;

namespace {

const QString standardFile = QStringLiteral("Library/Preferences/com.quorvane.Tapestrel.plist");
const QString globalFile = QStringLiteral("Library/Preferences/.GlobalPreferences.plist");

// Binary lists built by hand, as another program may write them: one object after another, two-
// byte references and offsets.
QByteArray binaryList(const QList<QByteArray> &objects)
{
    QByteArray out("bplist00");
    QList<quint16> offsets;
    for (const QByteArray &object : objects) {
        offsets.append(quint16(out.size()));
        out += object;
    }
    const quint64 table = quint64(out.size());
    for (quint16 offset : offsets)
        out += QByteArray(1, char(offset >> 8)) + QByteArray(1, char(offset & 0xFF));
    out += QByteArray(6, '\0') + QByteArray("\x02\x02", 2);
    for (quint64 value : {quint64(objects.size()), quint64(0), table}) {
        QByteArray word(8, '\0');
        qToBigEndian(value, word.data());
        out += word;
    }
    return out;
}

QByteArray ref(int index)
{
    return QByteArray(1, char(index >> 8)) + QByteArray(1, char(index & 0xFF));
}

// A dictionary of one key and one text value; UTF-16 texts when `wide`.
QByteArray dictionaryWith(const QString &key, const QString &value)
{
    const auto text = [](const QString &string) {
        QByteArray object(1, char(0x60 | string.size()));
        for (QChar c : string)
            object += QByteArray(1, char(c.unicode() >> 8)) + QByteArray(1, char(c.unicode() & 0xFF));
        return object;
    };
    return binaryList({"\xD1" + ref(1) + ref(2), text(key), text(value)});
}

QByteArray nestedArrays(int depth)
{
    QList<QByteArray> objects;
    for (int i = 0; i < depth - 1; ++i)
        objects.append("\xA1" + ref(i + 1));
    objects.append(QByteArray("\xA0"));
    return binaryList(objects);
}

QByteArray nestedXmlArrays(int depth)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><!-- <array> -->"
        + QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth) + "</plist>";
}

} // namespace

TEST(PropertyListLimits, HostileListsReadAsDamagedAndListsWithinTheLimitsRead)
{
    const QString withNul = QString(QChar(0x2600)) + QChar(0) + QLatin1Char('x');
    const QList<std::pair<const char *, QByteArray>> damaged {
        {"U+0000 in a UTF-16 text", dictionaryWith("k", withNul)},
        {"U+0000 in a UTF-16 key", dictionaryWith(withNul, "k")},
        {"U+0000 in an ASCII text", binaryList({"\xD1" + ref(1) + ref(2), "\x51k", QByteArray("\x53" "a\0b", 4)})},
        {"binary nesting past the limit", nestedArrays(PropertyList::maximumDepth + 2)},
        {"50,000 nested binary arrays", nestedArrays(50000)},
        {"XML nesting past the limit", nestedXmlArrays(PropertyList::maximumDepth + 1)},
        {"50,000 nested XML arrays", nestedXmlArrays(50000)},
        // Each level refers twice to the next: 2^60 nodes from 60 objects.
        {"shared references", [] {
             QList<QByteArray> objects;
             for (int i = 0; i < 59; ++i)
                 objects.append("\xA2" + ref(i + 1) + ref(i + 1));
             objects.append(QByteArray("\x10\x01"));
             return binaryList(objects);
         }()},
        {"a reference cycle", binaryList({"\xA1" + ref(1), "\xA1" + ref(0)})},
        {"a reference past the objects", binaryList({"\xA1" + ref(7)})},
    };
    for (const auto &[what, bytes] : damaged) {
        EXPECT_FALSE(PropertyList::parse(bytes).isValid()) << what;
        EXPECT_FALSE(PropertyList::parseDictionary(bytes).has_value()) << what;
    }

    EXPECT_EQ(PropertyList::parseDictionary(dictionaryWith("k", QStringLiteral("\u2600x"))),
              QVariantMap({{"k", QStringLiteral("\u2600x")}}));
    EXPECT_TRUE(PropertyList::parse(nestedArrays(PropertyList::maximumDepth)).isValid());
    EXPECT_TRUE(PropertyList::parse(nestedXmlArrays(PropertyList::maximumDepth)).isValid());
    // Shared references within the limits expand.
    EXPECT_EQ(PropertyList::parse(binaryList({"\xA2" + ref(1) + ref(1), "\x10\x05"})),
              QVariant(QVariantList {qint64(5), qint64(5)}));

    // What the library would cut short is not written either.
    EXPECT_FALSE(PropertyList::normalized(withNul).isValid());
    EXPECT_FALSE(PropertyList::normalized(QVariantMap {{withNul, 1}}).isValid());
    EXPECT_FALSE(PropertyList::normalized(QStringList {withNul}).isValid());
}

class PropertyListFileTest : public TempHomeTest
{
};

TEST_F(PropertyListFileTest, DomainsWithTextsHoldingNulReadEmptyAndAreKept)
{
    const QByteArray hostile = dictionaryWith("AppleAccentColor", QString(QChar(0x2600)) + QChar(0));
    home.writeFile(globalFile, hostile);
    home.writeFile(standardFile, nestedXmlArrays(50000));

    UserDefaults &standard = UserDefaults::standard();
    EXPECT_FALSE(standard.contains("AppleAccentColor"));
    EXPECT_TRUE(UserDefaults::global().persistentDomain().isEmpty());
    ASSERT_TRUE(UserDefaults::global().setValue("AppleAccentColor", 4));
    ASSERT_TRUE(standard.setValue("k", 1));
    EXPECT_EQ(home.readFile(globalFile + ".corrupt"), hostile);
    EXPECT_EQ(home.readFile(standardFile + ".corrupt"), nestedXmlArrays(50000));
    EXPECT_EQ(standard.persistentValue("AppleAccentColor"), QVariant());
    EXPECT_EQ(standard.integer("AppleAccentColor"), 4);
}

TEST_F(PropertyListFileTest, DatesRoundTripExactlyThroughEveryRewrite)
{
    const QList<QDateTime> dates {
        QDateTime(QDate(2026, 12, 7), QTime(6, 30, 15, 123), Qt::UTC),
        QDateTime(QDate(2026, 12, 7), QTime(6, 30, 15, 999), Qt::UTC),
        QDateTime(QDate(2001, 1, 1), QTime(0, 0, 0, 1), Qt::UTC),
        QDateTime(QDate(1999, 3, 4), QTime(5, 6, 7, 891), Qt::UTC),
    };
    UserDefaults &standard = UserDefaults::standard();
    for (qsizetype i = 0; i < dates.size(); ++i)
        ASSERT_TRUE(standard.setValue(QStringLiteral("date%1").arg(i), dates[i]));
    // Every write rewrites the whole domain.
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(standard.setValue("round", round));
        const std::optional<QVariantMap> onDisk = PropertyList::parseDictionary(home.readFile(standardFile));
        ASSERT_TRUE(onDisk.has_value());
        for (qsizetype i = 0; i < dates.size(); ++i)
            EXPECT_EQ(onDisk->value(QStringLiteral("date%1").arg(i)).toDateTime(), dates[i]) << i << " " << round;
    }
    EXPECT_EQ(PropertyList::parse(PropertyList::toBinary(dates[0])).toDateTime(), dates[0]);
}

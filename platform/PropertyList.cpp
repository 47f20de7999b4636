#include "platform/PropertyList.h"

#include "platform/PropertyListFormats.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <QStringList>

#include <algorithm>

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace Platform {

namespace {

template<typename Real> bool sameBits(Real a, Real b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

bool operator==(const PropertyListDate &a, const PropertyListDate &b)
{
    return sameBits(a.seconds, b.seconds);
}

namespace PropertyListFormats {

namespace {

// Property-list dates count seconds from the first instant of 2001 (UTC).
const QDateTime &referenceDate()
{
    static const QDateTime date(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return date;
}

} // namespace

double secondsOf(const QVariant &date)
{
    if (date.metaType() == QMetaType::fromType<PropertyListDate>())
        return date.value<PropertyListDate>().seconds;
    return double(referenceDate().msecsTo(date.toDateTime())) / 1000.0;
}

QDateTime dateFromSeconds(double seconds)
{
    // About three million years either way: far inside what QDateTime holds to the millisecond.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e14)
        return {};
    return referenceDate().addMSecs(std::llround(seconds * 1000.0));
}

PropertyList::Reading damaged(const QString &why)
{
    return {PropertyList::Status::Damaged, QVariant(), why};
}

PropertyList::Reading unusable(const QString &why)
{
    return {PropertyList::Status::Unusable, QVariant(), why};
}

bool isValidUtf8(const char *data, qsizetype size)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data);
    qsizetype at = 0;
    while (at < size) {
        const uchar lead = bytes[at];
        if (lead < 0x80) {
            ++at;
            continue;
        }
        int length = 0;
        uint codePoint = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (size - at < length)
            return false;
        for (int i = 1; i < length; ++i) {
            if ((bytes[at + i] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (bytes[at + i] & 0x3F);
        }
        const bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
        if (overlong || (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
            return false;
        at += length;
    }
    return true;
}

} // namespace PropertyListFormats

namespace {

using namespace PropertyListFormats;

bool isExactType(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<PropertyListDate>()
        || value.metaType() == QMetaType::fromType<PropertyListUid>();
}

QString tooDeep()
{
    return QStringLiteral("it nests deeper than %1 levels").arg(PropertyList::maximumDepth);
}

// What a check of a value found: as many values as the readers count (each value, each key), and how
// many arrays and dictionaries nest, the outermost counted.
struct Tally
{
    qint64 nodes = 0;
    int nesting = 0;
    QString error; // why the value is refused
};

// The canonical value, or an invalid QVariant with the reason in the tally. `exact` keeps the types
// that only the exact form has (four-byte reals, integers above the signed range), which writers need
// and callers' own values never bring.
QVariant canonical(const QVariant &value, bool exact, int depth, Tally &tally)
{
    if (depth > PropertyList::maximumDepth) {
        tally.error = tooDeep();
        return {};
    }
    ++tally.nodes;
    const auto refused = [&] {
        tally.error =
            QStringLiteral("it holds a value of type %1").arg(QString::fromLatin1(value.typeName()));
        return QVariant();
    };
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QVariant(value.toBool());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return QVariant(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const qulonglong number = value.toULongLong();
        if (number <= qulonglong(std::numeric_limits<qint64>::max()))
            return QVariant(qint64(number));
        return exact ? QVariant(quint64(number)) : refused();
    }
    case QMetaType::Float:
        return exact ? QVariant(value.toFloat()) : QVariant(value.toDouble());
    case QMetaType::Double:
        return QVariant(value.toDouble());
    case QMetaType::QString:
        return QVariant(value.toString());
    case QMetaType::QByteArray:
        return QVariant(value.toByteArray());
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        if (!date.isValid())
            return refused();
        return QVariant(date.toUTC());
    }
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString &item : value.toStringList())
            list.append(QVariant(item));
        tally.nodes += list.size();
        tally.nesting = std::max(tally.nesting, depth + 1);
        return QVariant(list);
    }
    case QMetaType::QVariantList: {
        tally.nesting = std::max(tally.nesting, depth + 1);
        QVariantList list;
        for (const QVariant &item : value.toList()) {
            QVariant converted = canonical(item, exact, depth + 1, tally);
            if (!converted.isValid())
                return {};
            list.append(converted);
        }
        return QVariant(list);
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        tally.nesting = std::max(tally.nesting, depth + 1);
        QVariantMap map;
        const QVariantMap source = value.toMap();
        tally.nodes += source.size();
        for (auto it = source.cbegin(); it != source.cend(); ++it) {
            QVariant converted = canonical(it.value(), exact, depth + 1, tally);
            if (!converted.isValid())
                return {};
            map.insert(it.key(), converted);
        }
        return QVariant(map);
    }
    default:
        return isExactType(value) ? value : refused();
    }
}

// The readable form of a value, or nothing when it is readable already (so that readers share the
// subtrees that hold no exact-only type).
std::optional<QVariant> readableIfDifferent(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<PropertyListDate>())
        return QVariant(dateFromSeconds(value.value<PropertyListDate>().seconds));
    if (value.metaType() == QMetaType::fromType<PropertyListUid>())
        return QVariant(qint64(value.value<PropertyListUid>().value));
    switch (value.typeId()) {
    case QMetaType::Float:
        return QVariant(double(value.toFloat()));
    case QMetaType::ULongLong:
        // Stored as unsigned; read in the signed range as the platform's integer readings do.
        return QVariant(qint64(value.toULongLong()));
    case QMetaType::QVariantList: {
        std::optional<QVariantList> changed;
        const QVariantList list = value.toList();
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (std::optional<QVariant> item = readableIfDifferent(list.at(i))) {
                if (!changed)
                    changed = list;
                (*changed)[i] = *item;
            }
        }
        return changed ? std::optional(QVariant(*changed)) : std::nullopt;
    }
    case QMetaType::QVariantMap: {
        std::optional<QVariantMap> changed;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (std::optional<QVariant> item = readableIfDifferent(it.value())) {
                if (!changed)
                    changed = map;
                changed->insert(it.key(), *item);
            }
        }
        return changed ? std::optional(QVariant(*changed)) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

PropertyList::Reading unreadable(const QString &why)
{
    return {PropertyList::Status::Unreadable, QVariant(), why};
}

QString tooLarge(qint64 limit)
{
    return QStringLiteral("it is larger than %1 bytes").arg(limit);
}

// Files of Qt's resource system are the program's own; they are read through QFile.
PropertyList::Reading readResource(const QString &path, PropertyList::Form form, qint64 sizeLimit)
{
    QFile file(path);
    if (!file.exists())
        return {PropertyList::Status::Missing, QVariant(), QStringLiteral("there is no such file")};
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    const QByteArray bytes = file.read(sizeLimit + 1);
    if (bytes.size() > sizeLimit)
        return unreadable(tooLarge(sizeLimit));
    return PropertyList::read(bytes, form);
}

} // namespace

PropertyList::Reading PropertyList::read(const QByteArray &bytes, Form form)
{
    if (bytes.size() > maximumSize)
        return unusable(tooLarge(maximumSize));
    if (bytes.isEmpty())
        return damaged(QStringLiteral("it is empty"));
    Reading reading = bytes.startsWith("bplist") ? readBinary(bytes) : readXml(bytes);
    if (reading.isRead() && form == Form::Readable) {
        if (std::optional<QVariant> converted = readableIfDifferent(reading.value))
            reading.value = *converted;
    }
    return reading;
}

PropertyList::Reading PropertyList::readFile(const QString &path, Form form, qint64 sizeLimit,
                                             QByteArray *bytes)
{
    sizeLimit = std::min(sizeLimit, maximumSize);
    if (path.startsWith(QLatin1Char(':')))
        return readResource(path, form, sizeLimit);

    // A missing file is an answer of its own (an empty preference domain, say); anything else that
    // is no regular file of a bounded size is refused without being waited on.
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return {Status::Missing, QVariant(), QStringLiteral("there is no such file")};
    const RegularFile::Contents contents = RegularFile::read(path, sizeLimit);
    if (!contents.bytes)
        return unreadable(contents.error);
    if (bytes)
        *bytes = *contents.bytes;
    return read(*contents.bytes, form);
}

std::optional<QVariantMap> PropertyList::parseDictionary(const QByteArray &bytes)
{
    const Reading reading = read(bytes);
    if (!reading.isRead() || reading.value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return reading.value.toMap();
}

QVariant PropertyList::parse(const QByteArray &bytes)
{
    return read(bytes).value;
}

QVariant PropertyList::readable(const QVariant &value)
{
    return readableIfDifferent(value).value_or(value);
}

QVariant PropertyList::normalized(const QVariant &value, QString *error)
{
    Tally tally;
    QVariant result = canonical(value, false, 0, tally);
    if (!result.isValid() && error)
        *error = tally.error;
    return result;
}

bool PropertyList::identical(const QVariant &a, const QVariant &b)
{
    const auto isDate = [](const QVariant &value) {
        return value.typeId() == QMetaType::QDateTime
            || value.metaType() == QMetaType::fromType<PropertyListDate>();
    };
    if (isDate(a) || isDate(b))
        return isDate(a) && isDate(b) && sameBits(secondsOf(a), secondsOf(b));
    if (a.metaType() != b.metaType())
        return false;
    switch (a.typeId()) {
    case QMetaType::Double:
        return sameBits(a.toDouble(), b.toDouble());
    case QMetaType::Float:
        return sameBits(a.toFloat(), b.toFloat());
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList();
        const QVariantList y = b.toList();
        return std::equal(x.cbegin(), x.cend(), y.cbegin(), y.cend(), identical);
    }
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap();
        const QVariantMap y = b.toMap();
        if (x.size() != y.size())
            return false;
        for (auto i = x.cbegin(), j = y.cbegin(); i != x.cend(); ++i, ++j) {
            if (i.key() != j.key() || !identical(i.value(), j.value()))
                return false;
        }
        return true;
    }
    default:
        return a == b;
    }
}

namespace {

// What the readers would refuse is never written: a list past none of the limits is written at
// once; one that may nest too deep (the tally counts an empty container as a level, which the XML
// reader does not) is read again for the reader's own verdict.
QByteArray written(const QVariant &value, QByteArray (*write)(const QVariant &, QString &), QString *error)
{
    QString why;
    const auto refused = [&] {
        if (error)
            *error = why;
        return QByteArray();
    };
    Tally tally;
    const QVariant checked = canonical(value, true, 0, tally);
    if (!checked.isValid()) {
        why = tally.error;
        return refused();
    }
    if (tally.nodes > PropertyList::maximumNodes) {
        why = QStringLiteral("it would hold more than %1 values").arg(PropertyList::maximumNodes);
        return refused();
    }
    const QByteArray bytes = write(checked, why);
    if (bytes.isEmpty())
        return refused();
    if (bytes.size() > PropertyList::maximumSize) {
        why = QStringLiteral("it would be larger than the %1 bytes that are read")
                  .arg(PropertyList::maximumSize);
        return refused();
    }
    if (tally.nesting > PropertyList::maximumDepth) {
        const PropertyList::Reading again = PropertyList::read(bytes, PropertyList::Form::Exact);
        if (!again.isRead()) {
            why = again.error;
            return refused();
        }
    }
    return bytes;
}

} // namespace

QByteArray PropertyList::toBinary(const QVariant &value, QString *error)
{
    return written(value, writeBinary, error);
}

QByteArray PropertyList::toXml(const QVariant &value, QString *error)
{
    return written(value, writeXml, error);
}

} // namespace Platform

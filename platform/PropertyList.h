#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace Platform {

// A date exactly as a property list stores it: seconds (with any fraction) from the first instant
// of 2001, UTC. QDateTime keeps milliseconds only, so a list that is read and written again holds
// its dates in this form.
struct PropertyListDate
{
    double seconds = 0;
    // Bit for bit, so that a date that is not a number still equals itself.
    friend bool operator==(const PropertyListDate &a, const PropertyListDate &b);
};

// A reference of a keyed archive (its own kind in the binary form; an integer to readers).
struct PropertyListUid
{
    quint64 value = 0;
    friend bool operator==(const PropertyListUid &, const PropertyListUid &) = default;
};

// Property lists as QVariant trees, read from the binary and the XML form and written in either.
//
// Readers get the readable form: text (QString, U+0000 included), data (QByteArray), integer
// (qint64), real (double), Boolean (bool), date (QDateTime, UTC, to the millisecond), array
// (QVariantList) and dictionary (QVariantMap).
//
// The exact form is for a program that writes back what it read: it keeps every value as stored,
// so a rewrite changes only what the program changed. Dates are PropertyListDate, references
// PropertyListUid, four-byte reals float and integers above the signed range quint64; the rest is as
// in the readable form. Writing accepts both forms, mixed.
//
// Everything read is bounded (size, nesting, the nodes that shared objects expand to) and never
// recursive on the input, so a hostile list costs little and cannot exhaust the stack.
class PropertyList
{
public:
    // Arrays and dictionaries nested deeper than this are not read.
    static constexpr int maximumDepth = 512;
    // Values in one list, counting each use of a shared object of the binary form.
    static constexpr qint64 maximumNodes = 200'000;
    // Larger lists (and files) are not read at all.
    static constexpr qint64 maximumSize = 16 * 1024 * 1024;

    enum class Form { Readable, Exact };

    enum class Status {
        Read, // `value` holds the root
        Missing, // no file by that name
        Unreadable, // not a regular file, too large, or the read failed
        Damaged, // the bytes are not a property list: truncated, malformed, unknown syntax
        Unusable, // a property list, but one that cannot be held and written back as it is
                  // (nesting or size past the limits, text in no valid encoding, duplicate keys...)
    };

    struct Reading
    {
        Status status = Status::Damaged;
        QVariant value;
        QString error; // why it was not read, in words, when it was not
        bool isRead() const { return status == Status::Read; }
    };

    // The list in `bytes`, as the form asks.
    static Reading read(const QByteArray &bytes, Form form = Form::Readable);
    // The list in a file. Only a regular file is opened (a named pipe or a device would block the
    // caller), and only when it is no larger than `sizeLimit`. Paths of Qt's resource system work.
    // The bytes read go to `bytes` when it is given (none for a file that was not read).
    static Reading readFile(const QString &path, Form form = Form::Readable, qint64 sizeLimit = maximumSize,
                            QByteArray *bytes = nullptr);

    // The top-level dictionary of a binary or XML property list, or nothing when it is not read or
    // its root is not a dictionary.
    static std::optional<QVariantMap> parseDictionary(const QByteArray &bytes);
    // Any root value; an invalid QVariant when the bytes are not read.
    static QVariant parse(const QByteArray &bytes);

    // A value of the exact form in the readable form.
    static QVariant readable(const QVariant &value);

    // The value in its canonical form (the types above, integers widened to qint64, floats to
    // double, string lists to arrays), or an invalid QVariant when it or anything inside it cannot
    // be stored in a property list (why, in `error`).
    static QVariant normalized(const QVariant &value, QString *error = nullptr);

    // Whether two values (either form) are stored alike: of the same types (a four-byte real is no
    // double, an integer above the signed range no negative one) with the same bits (-0.0 is not
    // 0.0, a NaN is itself). Dates compare by their stored seconds, whichever form holds them.
    static bool identical(const QVariant &a, const QVariant &b);

    // The value (either form) in the binary or XML form; empty, with the reason in `error`, when it
    // cannot be stored or when the list would not be read again (past any of the limits above). The
    // XML form holds dates to the second, and no text (value or key) with an unpaired UTF-16
    // surrogate or a character XML 1.0 does not allow (the controls but tab, line feed and carriage
    // return; U+FFFE and U+FFFF).
    static QByteArray toBinary(const QVariant &value, QString *error = nullptr);
    static QByteArray toXml(const QVariant &value, QString *error = nullptr);
};

} // namespace Platform

Q_DECLARE_METATYPE(Platform::PropertyListDate)
Q_DECLARE_METATYPE(Platform::PropertyListUid)

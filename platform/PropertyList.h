#pragma once

#include <QByteArray>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace Platform {

// Property lists as QVariant trees: text (QString), data (QByteArray), integer (qint64), real
// (double), Boolean (bool), date (QDateTime, UTC), array (QVariantList) and dictionary
// (QVariantMap). Binary and XML forms are read; files are written in the binary form.
class PropertyList
{
public:
    // Arrays and dictionaries nested deeper than this make a list unreadable (as damaged).
    static constexpr int maximumDepth = 512;

    // The value in its canonical form (the types above, integers widened to qint64, floats to
    // double, string lists to arrays), or an invalid QVariant when it or anything inside it cannot
    // be stored in a property list (texts and keys holding U+0000 included).
    static QVariant normalized(const QVariant &value);

    // The top-level dictionary of a binary or XML property list, or nothing when the bytes are not
    // a property list, its root is not a dictionary, or it holds what cannot be represented: texts
    // with U+0000, nesting deeper than maximumDepth, references that expand past 50,000 nodes.
    static std::optional<QVariantMap> parseDictionary(const QByteArray &bytes);
    // Any root value; an invalid QVariant when the bytes do not parse.
    static QVariant parse(const QByteArray &bytes);

    // The value (normalised first) in the binary or XML form; empty when it cannot be stored.
    static QByteArray toBinary(const QVariant &value);
    static QByteArray toXml(const QVariant &value);
};

} // namespace Platform

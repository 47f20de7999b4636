#pragma once

#include "Tapestrel/model/ModelError.h"

#include <QByteArray>
#include <QString>

#include <nlohmann/json.hpp>

#include <optional>

// The program's own JSON forms: compact, members in the order they were added, forward slashes
// escaped as "\/" (the exchange format that backups and shipped profiles have always used), and
// strict reading: a member of the wrong type is an error, never silently converted.
namespace JsonCoder {

using Json = nlohmann::ordered_json;

QByteArray encode(const Json &value);

// Throws JsonDecodeError for text that is not JSON.
Json decode(const QByteArray &bytes);

// Member readers for decoding records. `what` names the thing being read in error messages
// ("profile", "option 3 of profile"). A missing required member or a wrong type throws
// JsonDecodeError.
void requireObject(const Json &value, const QString &what);
QString requiredString(const Json &object, const char *member, const QString &what);
qint64 requiredInteger(const Json &object, const char *member, const QString &what);
bool requiredBool(const Json &object, const char *member, const QString &what);
bool optionalBool(const Json &object, const char *member, bool fallback, const QString &what);
std::optional<QString> optionalString(const Json &object, const char *member, const QString &what);
const Json &requiredArray(const Json &object, const char *member, const QString &what);

Json fromString(const QString &text);

// Appends a JSON string holding `text` in exactly the bytes encode() writes for it. For records
// that write their form straight into a buffer, which large exports need: building a document of
// tens of thousands of objects first costs far more than the text itself.
void appendString(QByteArray &out, const QString &text);
void appendString(QByteArray &out, QByteArrayView utf8);
// As appendString() when `text` is all ASCII; otherwise appends nothing and returns false.
bool appendAsciiString(QByteArray &out, QByteArrayView text);
inline void appendBool(QByteArray &out, bool value)
{
    out.append(value ? QByteArrayView("true") : QByteArrayView("false"));
}

} // namespace JsonCoder

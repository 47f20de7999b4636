#include "Tapestrel/model/JsonCoder.h"

namespace JsonCoder {

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw JsonDecodeError(message);
}

const Json *member(const Json &object, const char *name)
{
    auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

const Json &required(const Json &object, const char *name, const QString &what)
{
    const Json *value = member(object, name);
    if (!value)
        fail(QStringLiteral("The %1 has no \"%2\" member.").arg(what, QString::fromUtf8(name)));
    return *value;
}

[[noreturn]] void wrongType(const char *name, const QString &what, const char *expected)
{
    fail(QStringLiteral("The \"%1\" member of the %2 must be %3.")
             .arg(QString::fromUtf8(name), what, QString::fromUtf8(expected)));
}

} // namespace

QByteArray encode(const Json &value)
{
    // Strict UTF-8: a record's texts come from QString and are always valid.
    const std::string compact = value.dump();
    QByteArray bytes;
    bytes.reserve(qsizetype(compact.size() + compact.size() / 16));
    // A '/' can only occur inside a string value, where "\/" is its valid escaped form.
    for (char c : compact) {
        if (c == '/')
            bytes.append('\\');
        bytes.append(c);
    }
    return bytes;
}

Json decode(const QByteArray &bytes)
{
    try {
        return Json::parse(bytes.constBegin(), bytes.constEnd());
    } catch (const Json::exception &error) {
        // Not only syntax errors: a number too large for any type is an out-of-range error.
        fail(QStringLiteral("The data is not valid JSON: %1").arg(QString::fromUtf8(error.what())));
    }
}

void requireObject(const Json &value, const QString &what)
{
    if (!value.is_object())
        fail(QStringLiteral("The %1 must be a JSON object.").arg(what));
}

QString requiredString(const Json &object, const char *name, const QString &what)
{
    const Json &value = required(object, name, what);
    if (!value.is_string())
        wrongType(name, what, "a text");
    return QString::fromStdString(value.get<std::string>());
}

qint64 requiredInteger(const Json &object, const char *name, const QString &what)
{
    const Json &value = required(object, name, what);
    if (value.is_number_integer() && !value.is_number_unsigned())
        return value.get<qint64>();
    if (value.is_number_unsigned() && value.get<quint64>() <= quint64(std::numeric_limits<qint64>::max()))
        return qint64(value.get<quint64>());
    wrongType(name, what, "an integer");
}

bool requiredBool(const Json &object, const char *name, const QString &what)
{
    const Json &value = required(object, name, what);
    if (!value.is_boolean())
        wrongType(name, what, "true or false");
    return value.get<bool>();
}

bool optionalBool(const Json &object, const char *name, bool fallback, const QString &what)
{
    // An explicit null reads as absent, as the exchange format has always treated it.
    const Json *value = member(object, name);
    if (!value || value->is_null())
        return fallback;
    return requiredBool(object, name, what);
}

std::optional<QString> optionalString(const Json &object, const char *name, const QString &what)
{
    const Json *value = member(object, name);
    if (!value || value->is_null())
        return std::nullopt;
    return requiredString(object, name, what);
}

const Json &requiredArray(const Json &object, const char *name, const QString &what)
{
    const Json &value = required(object, name, what);
    if (!value.is_array())
        wrongType(name, what, "an array");
    return value;
}

Json fromString(const QString &text)
{
    return Json(text.toStdString());
}

void appendString(QByteArray &out, const QString &text)
{
    appendString(out, QByteArrayView(text.toUtf8()));
}

void appendString(QByteArray &out, QByteArrayView utf8)
{
    // The escapes of the JSON library's compact output (control characters as \u00xx in lower-case
    // hex, except the five with a short form), plus the "\/" that encode() adds.
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    const char *run = utf8.data();
    const char *const end = utf8.data() + utf8.size();
    for (const char *c = run; c != end; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte >= 0x20 && byte != '"' && byte != '\\' && byte != '/')
            continue;
        out.append(run, c - run);
        run = c + 1;
        switch (byte) {
        case '"':
            out.append("\\\"", 2);
            break;
        case '\\':
            out.append("\\\\", 2);
            break;
        case '/':
            out.append("\\/", 2);
            break;
        case '\b':
            out.append("\\b", 2);
            break;
        case '\t':
            out.append("\\t", 2);
            break;
        case '\n':
            out.append("\\n", 2);
            break;
        case '\f':
            out.append("\\f", 2);
            break;
        case '\r':
            out.append("\\r", 2);
            break;
        default: {
            const char escaped[] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 0xf]};
            out.append(escaped, sizeof escaped);
        }
        }
    }
    out.append(run, end - run);
    out.append('"');
}

} // namespace JsonCoder

#include "Tapestrel/model/JsonCoder.h"

#include <type_traits>

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

namespace {

// The escapes of the JSON library's compact output (control characters as \u00xx in lower-case hex,
// except the five with a short form), plus the "\/" that encode() adds. Written through a pointer
// into room made for the worst case: appending piece by piece costs more than the scan itself. With
// `asciiOnly`, text holding anything beyond ASCII appends nothing and gives false.
template<bool asciiOnly, typename Unit> bool appendEscaped(QByteArray &out, const Unit *begin, qsizetype size)
{
    static const char hex[] = "0123456789abcdef";
    const qsizetype start = out.size();
    out.resize(start + 2 + 6 * size);
    char *p = out.data() + start;
    *p++ = '"';
    for (const Unit *c = begin, *end = begin + size; c != end; ++c) {
        const auto unit = unsigned(std::make_unsigned_t<Unit>(*c));
        if (unit >= 0x20 && unit != '"' && unit != '\\' && unit != '/') {
            if constexpr (asciiOnly) {
                if (unit >= 0x80) {
                    out.truncate(start);
                    return false;
                }
            }
            *p++ = char(unit);
            continue;
        }
        *p++ = '\\';
        switch (unit) {
        case '"':
        case '\\':
        case '/':
            *p++ = char(unit);
            break;
        case '\b':
            *p++ = 'b';
            break;
        case '\t':
            *p++ = 't';
            break;
        case '\n':
            *p++ = 'n';
            break;
        case '\f':
            *p++ = 'f';
            break;
        case '\r':
            *p++ = 'r';
            break;
        default:
            *p++ = 'u';
            *p++ = '0';
            *p++ = '0';
            *p++ = hex[unit >> 4];
            *p++ = hex[unit & 0xf];
        }
    }
    *p++ = '"';
    out.truncate(p - out.constData());
    return true;
}

} // namespace

void appendString(QByteArray &out, const QString &text)
{
    // ASCII text is its own UTF-8: escaped straight from UTF-16 without a converted copy.
    if (!appendEscaped<true>(out, reinterpret_cast<const char16_t *>(text.constData()), text.size()))
        appendString(out, QByteArrayView(text.toUtf8()));
}

void appendString(QByteArray &out, QByteArrayView utf8)
{
    appendEscaped<false>(out, utf8.data(), utf8.size());
}

bool appendAsciiString(QByteArray &out, QByteArrayView text)
{
    return appendEscaped<true>(out, text.data(), text.size());
}

} // namespace JsonCoder

#include "Tapestrel/apps/vscode/JsonWithCommentsDocument.h"

#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace {

using Member = JsonWithCommentsDocument::Member;

QString tr(const char *text)
{
    return QCoreApplication::translate("JsonWithCommentsDocument", text);
}

// A recursive-descent reader over the bytes; the nesting depth bounds the recursion.
class Parser
{
public:
    Parser(const QByteArray &bytes, bool comments, int maxDepth)
        : m_data(bytes.constData())
        , m_size(bytes.size())
        , m_comments(comments)
        , m_maxDepth(maxDepth)
    { }

    bool parseDocument(QJsonValue *value, QList<Member> *members, qsizetype *open, qsizetype *close)
    {
        if (m_size >= 3 && uchar(m_data[0]) == 0xEF && uchar(m_data[1]) == 0xBB && uchar(m_data[2]) == 0xBF)
            m_pos = 3;
        if (!skipTrivia())
            return false;
        if (m_pos >= m_size) {
            // VS Code reads a settings file with nothing but blanks and comments as no settings.
            if (m_comments) {
                *value = QJsonObject();
                return true;
            }
            return fail(tr("the file holds no JSON value"));
        }
        if (m_data[m_pos] == '{') {
            *open = m_pos;
            if (!parseObject(value, members))
                return false;
            *close = m_pos - 1;
        } else if (!parseValue(value)) {
            return false;
        }
        if (!skipTrivia())
            return false;
        if (m_pos < m_size)
            return fail(tr("unexpected text after the end of the JSON value"));
        return true;
    }

    QString error() const
    {
        qsizetype line = 1;
        qsizetype lineStart = 0;
        for (qsizetype i = 0; i < m_errorPos && i < m_size; ++i) {
            if (m_data[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        return tr("%1 (line %2, column %3)").arg(m_error).arg(line).arg(m_errorPos - lineStart + 1);
    }

private:
    bool fail(const QString &message)
    {
        if (m_error.isEmpty()) {
            m_error = message;
            m_errorPos = m_pos;
        }
        return false;
    }

    bool atEnd() const { return m_pos >= m_size; }
    char peek() const { return m_pos < m_size ? m_data[m_pos] : '\0'; }

    bool skipTrivia()
    {
        while (m_pos < m_size) {
            const char c = m_data[m_pos];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                ++m_pos;
            } else if (m_comments && c == '/' && m_pos + 1 < m_size && m_data[m_pos + 1] == '/') {
                m_pos += 2;
                while (m_pos < m_size && m_data[m_pos] != '\n' && m_data[m_pos] != '\r')
                    ++m_pos;
            } else if (m_comments && c == '/' && m_pos + 1 < m_size && m_data[m_pos + 1] == '*') {
                const qsizetype start = m_pos;
                m_pos += 2;
                while (m_pos + 1 < m_size && !(m_data[m_pos] == '*' && m_data[m_pos + 1] == '/'))
                    ++m_pos;
                if (m_pos + 1 >= m_size) {
                    m_pos = start;
                    return fail(tr("a comment that is never closed"));
                }
                m_pos += 2;
            } else {
                return true;
            }
        }
        return true;
    }

    bool enter()
    {
        if (++m_depth > m_maxDepth)
            return fail(tr("the JSON value is nested too deeply"));
        return true;
    }

    bool parseValue(QJsonValue *out)
    {
        switch (peek()) {
        case '{':
            return parseObject(out, nullptr);
        case '[':
            return parseArray(out);
        case '"': {
            QString text;
            if (!parseString(&text))
                return false;
            *out = text;
            return true;
        }
        case 't':
            return parseLiteral("true", QJsonValue(true), out);
        case 'f':
            return parseLiteral("false", QJsonValue(false), out);
        case 'n':
            return parseLiteral("null", QJsonValue(QJsonValue::Null), out);
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9'))
                return parseNumber(out);
            return fail(atEnd() ? tr("the file ends before the JSON value is complete")
                                : tr("a value was expected"));
        }
    }

    bool parseObject(QJsonValue *out, QList<Member> *members)
    {
        if (!enter())
            return false;
        ++m_pos; // '{'
        QJsonObject object;
        bool first = true;
        for (;;) {
            if (!skipTrivia())
                return false;
            if (peek() == '}' && (first || m_comments)) {
                ++m_pos;
                break;
            }
            if (peek() != '"')
                return fail(atEnd() ? tr("the file ends inside an object")
                                    : tr("a key in double quotes was expected"));
            Member member;
            member.keyStart = m_pos;
            if (!parseString(&member.key))
                return false;
            member.keyEnd = m_pos;
            if (!skipTrivia())
                return false;
            if (peek() != ':')
                return fail(tr("a colon after the key was expected"));
            ++m_pos;
            if (!skipTrivia())
                return false;
            member.valueStart = m_pos;
            QJsonValue value;
            if (!parseValue(&value))
                return false;
            member.valueEnd = m_pos;
            object.insert(member.key, value); // the last of repeated keys wins
            if (members)
                members->append(member);
            first = false;
            if (!skipTrivia())
                return false;
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == '}') {
                ++m_pos;
                break;
            }
            return fail(atEnd() ? tr("the file ends inside an object")
                                : tr("a comma or a closing brace was expected"));
        }
        --m_depth;
        *out = object;
        return true;
    }

    bool parseArray(QJsonValue *out)
    {
        if (!enter())
            return false;
        ++m_pos; // '['
        QJsonArray array;
        bool first = true;
        for (;;) {
            if (!skipTrivia())
                return false;
            if (peek() == ']' && (first || m_comments)) {
                ++m_pos;
                break;
            }
            QJsonValue value;
            if (!parseValue(&value))
                return false;
            array.append(value);
            first = false;
            if (!skipTrivia())
                return false;
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == ']') {
                ++m_pos;
                break;
            }
            return fail(atEnd() ? tr("the file ends inside an array")
                                : tr("a comma or a closing bracket was expected"));
        }
        --m_depth;
        *out = array;
        return true;
    }

    static int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    bool readHex4(uint *unit)
    {
        if (m_pos + 4 > m_size)
            return fail(tr("an incomplete \\u escape"));
        uint result = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigit(m_data[m_pos + i]);
            if (digit < 0)
                return fail(tr("an incomplete \\u escape"));
            result = result * 16 + uint(digit);
        }
        m_pos += 4;
        *unit = result;
        return true;
    }

    static void appendUtf8(QByteArray *bytes, uint code)
    {
        if (code < 0x80) {
            bytes->append(char(code));
        } else if (code < 0x800) {
            bytes->append(char(0xC0 | (code >> 6)));
            bytes->append(char(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            bytes->append(char(0xE0 | (code >> 12)));
            bytes->append(char(0x80 | ((code >> 6) & 0x3F)));
            bytes->append(char(0x80 | (code & 0x3F)));
        } else {
            bytes->append(char(0xF0 | (code >> 18)));
            bytes->append(char(0x80 | ((code >> 12) & 0x3F)));
            bytes->append(char(0x80 | ((code >> 6) & 0x3F)));
            bytes->append(char(0x80 | (code & 0x3F)));
        }
    }

    bool parseString(QString *out)
    {
        const qsizetype start = m_pos;
        ++m_pos; // '"'
        QByteArray bytes;
        for (;;) {
            if (m_pos >= m_size) {
                m_pos = start;
                return fail(tr("a text that is never closed"));
            }
            const char c = m_data[m_pos];
            if (c == '"') {
                ++m_pos;
                break;
            }
            if (uchar(c) < 0x20)
                return fail(tr("a control character inside a text"));
            if (c != '\\') {
                bytes.append(c);
                ++m_pos;
                continue;
            }
            ++m_pos;
            if (m_pos >= m_size)
                return fail(tr("a text that is never closed"));
            const char escape = m_data[m_pos++];
            switch (escape) {
            case '"':
                bytes.append('"');
                break;
            case '\\':
                bytes.append('\\');
                break;
            case '/':
                bytes.append('/');
                break;
            case 'b':
                bytes.append('\b');
                break;
            case 'f':
                bytes.append('\f');
                break;
            case 'n':
                bytes.append('\n');
                break;
            case 'r':
                bytes.append('\r');
                break;
            case 't':
                bytes.append('\t');
                break;
            case 'u': {
                uint unit = 0;
                if (!readHex4(&unit))
                    return false;
                uint code = unit;
                if (unit >= 0xD800 && unit <= 0xDBFF && m_pos + 1 < m_size && m_data[m_pos] == '\\'
                    && m_data[m_pos + 1] == 'u') {
                    const qsizetype before = m_pos;
                    m_pos += 2;
                    uint low = 0;
                    if (!readHex4(&low))
                        return false;
                    if (low >= 0xDC00 && low <= 0xDFFF)
                        code = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    else
                        m_pos = before; // a lone high surrogate; the next escape stands on its own
                }
                if (code >= 0xD800 && code <= 0xDFFF)
                    code = 0xFFFD; // a lone surrogate cannot be text
                appendUtf8(&bytes, code);
                break;
            }
            default:
                --m_pos;
                return fail(tr("an unknown escape in a text"));
            }
        }
        *out = QString::fromUtf8(bytes);
        return true;
    }

    bool parseNumber(QJsonValue *out)
    {
        const qsizetype start = m_pos;
        auto digits = [this] {
            const qsizetype from = m_pos;
            while (m_pos < m_size && m_data[m_pos] >= '0' && m_data[m_pos] <= '9')
                ++m_pos;
            return m_pos > from;
        };
        if (peek() == '-')
            ++m_pos;
        if (peek() == '0')
            ++m_pos;
        else if (!digits())
            return fail(tr("a malformed number"));
        if (peek() == '.') {
            ++m_pos;
            if (!digits())
                return fail(tr("a malformed number"));
        }
        if (peek() == 'e' || peek() == 'E') {
            ++m_pos;
            if (peek() == '+' || peek() == '-')
                ++m_pos;
            if (!digits())
                return fail(tr("a malformed number"));
        }
        const double number = QByteArray(m_data + start, m_pos - start).toDouble();
        *out = std::isfinite(number) ? QJsonValue(number) : QJsonValue(0.0);
        return true;
    }

    bool parseLiteral(const char *word, const QJsonValue &value, QJsonValue *out)
    {
        const qsizetype length = qsizetype(qstrlen(word));
        if (m_pos + length > m_size || qstrncmp(m_data + m_pos, word, size_t(length)) != 0)
            return fail(tr("a value was expected"));
        m_pos += length;
        *out = value;
        return true;
    }

    const char *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    bool m_comments;
    int m_maxDepth;
    int m_depth = 0;
    QString m_error;
    qsizetype m_errorPos = 0;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::optional<JsonWithCommentsDocument>
JsonWithCommentsDocument::parse(const QByteArray &bytes, Dialect dialect, QString *error, Limits limits)
{
    if (bytes.size() > limits.maxBytes) {
        if (error)
            *error = tr("the file is too large (%1 bytes)").arg(bytes.size());
        return std::nullopt;
    }
    JsonWithCommentsDocument document;
    document.m_bytes = bytes;
    document.m_dialect = dialect;
    Parser parser(document.m_bytes, dialect == Dialect::WithComments, limits.maxDepth);
    if (!parser.parseDocument(&document.m_value, &document.m_members, &document.m_openBrace,
                              &document.m_closeBrace)) {
        if (error)
            *error = parser.error();
        return std::nullopt;
    }
    return document;
}

std::optional<JsonWithCommentsDocument>
JsonWithCommentsDocument::parseFile(const QString &path, Dialect dialect, QString *error, Limits limits)
{
    // Opening a named pipe or a device would wait for a writer that may never come.
    QFile file;
    if (const auto failure = Platform::RegularFile::open(file, path)) {
        if (error)
            *error = *failure;
        return std::nullopt;
    }
    // Read one byte more than allowed, so a file that grows while it is read is still caught.
    const QByteArray bytes = file.read(limits.maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return parse(bytes, dialect, error, limits);
}

QByteArray JsonWithCommentsDocument::encode(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    case QJsonValue::Double:
        return QByteArray::number(value.toDouble(), 'g', 17);
    case QJsonValue::String: {
        const QByteArray utf8 = value.toString().toUtf8();
        QByteArray out;
        out.reserve(utf8.size() + 2);
        out.append('"');
        for (const char c : utf8) {
            switch (c) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\f':
                out.append("\\f");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            default:
                if (uchar(c) < 0x20)
                    out.append(QByteArray("\\u00") + QByteArray::number(uchar(c), 16).rightJustified(2, '0'));
                else
                    out.append(c);
            }
        }
        out.append('"');
        return out;
    }
    default:
        return QByteArrayLiteral("null");
    }
}

QByteArray JsonWithCommentsDocument::withMember(const QString &key, const QJsonValue &value) const
{
    if (!isObject())
        return m_bytes;
    for (qsizetype i = m_members.size() - 1; i >= 0; --i) {
        const Member &member = m_members.at(i);
        if (member.key == key) {
            QByteArray result = m_bytes;
            result.replace(member.valueStart, member.valueEnd - member.valueStart, encode(value));
            return result;
        }
    }
    return insertedMember(key, value);
}

QByteArray JsonWithCommentsDocument::lineEnding() const
{
    const qsizetype newline = m_bytes.indexOf('\n');
    if (newline > 0 && m_bytes.at(newline - 1) == '\r')
        return QByteArrayLiteral("\r\n");
    if (newline < 0 && m_bytes.contains('\r'))
        return QByteArrayLiteral("\r");
    return QByteArrayLiteral("\n");
}

QByteArray JsonWithCommentsDocument::indentationFor(const Member *last) const
{
    // The indentation of the nearest member that begins its line.
    auto leading = [this](qsizetype position) -> std::optional<QByteArray> {
        qsizetype lineStart = position;
        while (lineStart > 0 && m_bytes.at(lineStart - 1) != '\n' && m_bytes.at(lineStart - 1) != '\r')
            --lineStart;
        for (qsizetype i = lineStart; i < position; ++i) {
            if (!isBlank(m_bytes.at(i)))
                return std::nullopt;
        }
        return m_bytes.mid(lineStart, position - lineStart);
    };
    if (last) {
        for (qsizetype i = m_members.size() - 1; i >= 0; --i) {
            if (const auto indentation = leading(m_members.at(i).keyStart))
                return *indentation;
        }
    }
    // Without one, the indentation of the first indented line inside the braces (commented-out
    // settings, as a rule), else four spaces.
    for (qsizetype i = m_openBrace + 1; i < m_closeBrace; ++i) {
        if (m_bytes.at(i) != '\n' && m_bytes.at(i) != '\r')
            continue;
        qsizetype j = i + 1;
        while (j < m_closeBrace && isBlank(m_bytes.at(j)))
            ++j;
        if (j > i + 1 && j < m_closeBrace && m_bytes.at(j) != '\n' && m_bytes.at(j) != '\r')
            return m_bytes.mid(i + 1, j - i - 1);
    }
    return QByteArrayLiteral("    ");
}

QByteArray JsonWithCommentsDocument::separatorFor(const Member *last) const
{
    // The file's own spelling of the colon, when the last member keeps it on one line.
    if (last) {
        const QByteArray between = m_bytes.mid(last->keyEnd, last->valueStart - last->keyEnd);
        if (between.count(':') == 1
            && std::all_of(between.begin(), between.end(), [](char c) { return c == ':' || isBlank(c); }))
            return between;
    }
    return QByteArrayLiteral(": ");
}

QByteArray JsonWithCommentsDocument::insertedMember(const QString &key, const QJsonValue &value) const
{
    const Member *last = m_members.isEmpty() ? nullptr : &m_members.last();
    const QByteArray eol = lineEnding();
    const QByteArray member = encode(key) + separatorFor(last) + encode(value);
    QByteArray result = m_bytes;

    if (m_openBrace < 0) {
        // Blanks and comments alone: the object follows them, on a line of its own.
        if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
            result.append(eol);
        result.append("{" + eol + "    " + member + eol + "}" + eol);
        return result;
    }

    if (!last) {
        qsizetype lineStart = m_closeBrace;
        while (lineStart > m_openBrace + 1 && m_bytes.at(lineStart - 1) != '\n'
               && m_bytes.at(lineStart - 1) != '\r')
            --lineStart;
        const bool braceOnOwnLine = lineStart > m_openBrace + 1
            && std::all_of(m_bytes.begin() + lineStart, m_bytes.begin() + m_closeBrace, isBlank);
        if (braceOnOwnLine)
            result.insert(lineStart, indentationFor(nullptr) + member + eol);
        else
            result.insert(m_closeBrace, eol + indentationFor(nullptr) + member + eol);
        return result;
    }

    // What follows the last member: an optional comma, then only comments and blanks up to the brace.
    qsizetype position = last->valueEnd;
    bool trailingComma = false;
    for (qsizetype i = last->valueEnd; i < m_closeBrace; ++i) {
        const char c = m_bytes.at(i);
        if (c == ',') {
            trailingComma = true;
            position = i + 1;
            break;
        }
        if (c == '/' && i + 1 < m_closeBrace && m_bytes.at(i + 1) == '/') {
            while (i < m_closeBrace && m_bytes.at(i) != '\n' && m_bytes.at(i) != '\r')
                ++i;
        } else if (c == '/' && i + 1 < m_closeBrace && m_bytes.at(i + 1) == '*') {
            i = m_bytes.indexOf("*/", i + 2) + 1;
        }
    }

    // The end of the last member's line: past blanks and comments that begin on it.
    qsizetype lineEnd = -1;
    for (qsizetype i = position; i < m_closeBrace;) {
        const char c = m_bytes.at(i);
        if (isBlank(c)) {
            ++i;
        } else if (c == '\n' || c == '\r') {
            lineEnd = i;
            break;
        } else if (c == '/' && i + 1 < m_closeBrace && m_bytes.at(i + 1) == '/') {
            while (i < m_closeBrace && m_bytes.at(i) != '\n' && m_bytes.at(i) != '\r')
                ++i;
        } else if (c == '/' && i + 1 < m_closeBrace && m_bytes.at(i + 1) == '*') {
            i = m_bytes.indexOf("*/", i + 2) + 2;
        } else {
            break;
        }
    }

    if (lineEnd < 0) {
        // The closing brace follows on the same line: the file keeps its members on one line.
        result.insert(position, (trailingComma ? QByteArrayLiteral(" ") : QByteArrayLiteral(", ")) + member);
        return result;
    }
    result.insert(lineEnd, eol + indentationFor(last) + member);
    if (!trailingComma)
        result.insert(last->valueEnd, ',');
    return result;
}

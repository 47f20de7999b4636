// The XML form: a <plist> element holding one value of <dict>, <array>, <string>, <data>, <date>,
// <integer>, <real>, <true/> or <false/>. Read by a small scanner rather than a general XML parser:
// lists carry U+0000 (raw or as "&#0;"), which well-formed XML does not allow, and the scanner keeps
// its own stack, so nesting costs no recursion.

#include "platform/PropertyListFormats.h"

#include <QLocale>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace Platform::PropertyListFormats {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

QByteArray trimmed(const QByteArray &text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isSpace(text[from]))
        ++from;
    while (to > from && isSpace(text[to - 1]))
        --to;
    return text.mid(from, to - from);
}

void appendUtf8(QByteArray &out, uint codePoint)
{
    if (codePoint < 0x80) {
        out += char(codePoint);
    } else if (codePoint < 0x800) {
        out += char(0xC0 | (codePoint >> 6));
        out += char(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += char(0xE0 | (codePoint >> 12));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    } else {
        out += char(0xF0 | (codePoint >> 18));
        out += char(0x80 | ((codePoint >> 12) & 0x3F));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    }
}

// Days from 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
qint64 daysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(qint64 days, qint64 &year, int &month, int &day)
{
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

// 1970-01-01 to 2001-01-01.
constexpr qint64 referenceDays = 11323;

// "2026-12-07T06:30:15Z", optionally with a fraction of a second.
std::optional<double> parseDate(const QByteArray &text)
{
    const auto digits = [&](qsizetype at, int count, int &value) {
        value = 0;
        if (at + count > text.size())
            return false;
        for (int i = 0; i < count; ++i) {
            const char c = text[at + i];
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        return true;
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (text.size() < 20 || !digits(0, 4, year) || text[4] != '-' || !digits(5, 2, month) || text[7] != '-'
        || !digits(8, 2, day) || text[10] != 'T' || !digits(11, 2, hour) || text[13] != ':'
        || !digits(14, 2, minute) || text[16] != ':' || !digits(17, 2, second))
        return std::nullopt;
    double fraction = 0;
    qsizetype at = 19;
    if (text[at] == '.') {
        double scale = 0.1;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
            fraction += (text[at] - '0') * scale;
    }
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static const int monthLengths[] {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (at != text.size() - 1 || text[at] != 'Z' || month < 1 || month > 12 || day < 1
        || day > monthLengths[month - 1] + (month == 2 && leap ? 1 : 0) || hour > 23 || minute > 59
        || second > 60)
        return std::nullopt;
    const qint64 days = daysFromCivil(year, month, day) - referenceDays;
    return double(days * 86400 + hour * 3600 + minute * 60 + second) + fraction;
}

// Decimal or hexadecimal ("0x"), with an optional sign; nothing when malformed, `tooWide` when past
// 64 bits.
std::optional<QVariant> parseInteger(const QByteArray &text, bool &tooWide)
{
    tooWide = false;
    qsizetype at = 0;
    const bool negative = !text.isEmpty() && text[0] == '-';
    if (!text.isEmpty() && (text[0] == '-' || text[0] == '+'))
        ++at;
    int base = 10;
    if (text.mid(at, 2).toLower() == "0x") {
        base = 16;
        at += 2;
    }
    if (at == text.size())
        return std::nullopt;
    quint64 magnitude = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        if (magnitude > (std::numeric_limits<quint64>::max() - quint64(digit)) / quint64(base))
            tooWide = true;
        magnitude = magnitude * quint64(base) + quint64(digit);
    }
    const quint64 signedLimit = quint64(std::numeric_limits<qint64>::max());
    if (tooWide || (negative && magnitude > signedLimit + 1)) {
        tooWide = true;
        return std::nullopt;
    }
    if (negative)
        return QVariant(qint64(0 - magnitude));
    return magnitude <= signedLimit ? QVariant(qint64(magnitude)) : QVariant(quint64(magnitude));
}

// As the form's other readers take a real: a decimal number, an infinity or a NaN, with either sign
// and in any case. A number past the range of a double is an infinity, one too small for it zero.
std::optional<double> parseReal(const QByteArray &text)
{
    const bool negative = text.startsWith('-');
    const QByteArray word = text.mid(negative || text.startsWith('+') ? 1 : 0).toLower();
    const double sign = negative ? -1.0 : 1.0;
    if (word == "nan")
        return std::numeric_limits<double>::quiet_NaN();
    if (word == "inf" || word == "infinity")
        return sign * std::numeric_limits<double>::infinity();
    // Digits with an optional point, then an optional exponent: the only syntax left to strtod.
    qsizetype at = 0;
    const auto digits = [&] {
        const qsizetype from = at;
        while (at < word.size() && std::isdigit(uchar(word[at])))
            ++at;
        return at - from;
    };
    qsizetype mantissa = digits();
    if (at < word.size() && word[at] == '.') {
        ++at;
        mantissa += digits();
    }
    if (mantissa == 0)
        return std::nullopt;
    if (at < word.size() && word[at] == 'e') {
        ++at;
        if (at < word.size() && (word[at] == '-' || word[at] == '+'))
            ++at;
        if (digits() == 0)
            return std::nullopt;
    }
    if (at != word.size())
        return std::nullopt;
    // The C locale's decimal point, whatever the program's locale is; out of range gives
    // HUGE_VAL or zero (or a subnormal), which is what is wanted.
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return sign * ::strtod_l(word.constData(), nullptr, cLocale);
}

class XmlReader
{
public:
    explicit XmlReader(const QByteArray &bytes)
        : m_bytes(bytes)
    { }

    PropertyList::Reading run()
    {
        if (m_bytes.startsWith("\xFE\xFF") || m_bytes.startsWith("\xFF\xFE"))
            return unusable(QStringLiteral("it is an XML property list in UTF-16, which is not read"));
        if (m_bytes.startsWith("\xEF\xBB\xBF"))
            m_at = 3;
        if (!skipMisc(true))
            return m_failure;
        if (m_at < m_bytes.size() && (m_bytes[m_at] == '{' || m_bytes[m_at] == '('))
            return unusable(QStringLiteral("it is a property list in the old text form, which is not read"));
        QVariant root;
        if (!document(root))
            return m_failure;
        return {PropertyList::Status::Read, root, QString()};
    }

private:
    struct Tag
    {
        QByteArray name;
        bool empty = false; // <name/>
    };

    struct Frame
    {
        bool dictionary = false;
        QVariantList list;
        QVariantMap map;
        std::optional<QString> key; // read, waiting for its value
    };

    bool fail(const PropertyList::Reading &reading)
    {
        m_failure = reading;
        return false;
    }
    bool malformed(const QString &why) { return fail(damaged(why)); }

    bool lookingAt(const char *text) const { return QByteArrayView(m_bytes).sliced(m_at).startsWith(text); }

    // Moves past `end`; false when it never comes.
    bool skipPast(const char *end)
    {
        const qsizetype found = m_bytes.indexOf(end, m_at);
        if (found < 0)
            return false;
        m_at = found + qsizetype(std::strlen(end));
        return true;
    }

    // White space, comments, processing instructions and (before the root) the document type.
    bool skipMisc(bool prolog)
    {
        for (;;) {
            while (m_at < m_bytes.size() && isSpace(m_bytes[m_at]))
                ++m_at;
            if (lookingAt("<!--")) {
                if (!skipPast("-->"))
                    return malformed(QStringLiteral("a comment is not closed"));
            } else if (lookingAt("<?")) {
                if (!skipPast("?>"))
                    return malformed(QStringLiteral("a processing instruction is not closed"));
            } else if (prolog && lookingAt("<!DOCTYPE")) {
                if (!skipDocumentType())
                    return malformed(QStringLiteral("the document type is not closed"));
            } else {
                return true;
            }
        }
    }

    bool skipDocumentType()
    {
        char quote = 0;
        int brackets = 0;
        for (m_at += 9; m_at < m_bytes.size(); ++m_at) {
            const char c = m_bytes[m_at];
            if (quote) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                --brackets;
            } else if (c == '>' && brackets <= 0) {
                ++m_at;
                return true;
            }
        }
        return false;
    }

    // A start tag at the current position; its attributes are passed over.
    bool startTag(Tag &tag)
    {
        if (m_at >= m_bytes.size() || m_bytes[m_at] != '<')
            return malformed(QStringLiteral("there is text where an element belongs"));
        qsizetype at = m_at + 1;
        const qsizetype from = at;
        while (at < m_bytes.size() && (std::isalnum(uchar(m_bytes[at])) || m_bytes[at] == '_'))
            ++at;
        if (at == from)
            return malformed(QStringLiteral("an element is malformed"));
        tag.name = m_bytes.mid(from, at - from);
        char quote = 0;
        for (; at < m_bytes.size(); ++at) {
            const char c = m_bytes[at];
            if (quote) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                tag.empty = m_bytes[at - 1] == '/';
                m_at = at + 1;
                return true;
            }
        }
        return malformed(QStringLiteral("an element is not closed"));
    }

    // "</name>" at the current position.
    bool endTag(const QByteArray &name)
    {
        if (!lookingAt("</") || !QByteArrayView(m_bytes).sliced(m_at + 2).startsWith(name))
            return malformed(QStringLiteral("<%1> is not closed").arg(QString::fromLatin1(name)));
        qsizetype at = m_at + 2 + name.size();
        while (at < m_bytes.size() && isSpace(m_bytes[at]))
            ++at;
        if (at >= m_bytes.size() || m_bytes[at] != '>')
            return malformed(QStringLiteral("<%1> is not closed").arg(QString::fromLatin1(name)));
        m_at = at + 1;
        return true;
    }

    bool entity(QByteArray &text)
    {
        const qsizetype end = m_bytes.indexOf(';', m_at);
        if (end < 0 || end - m_at > 12)
            return malformed(QStringLiteral("a character reference is malformed"));
        const QByteArray name = m_bytes.mid(m_at + 1, end - m_at - 1);
        m_at = end + 1;
        static const std::pair<const char *, char> named[] {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto &[word, character] : named) {
            if (name == word) {
                text += character;
                return true;
            }
        }
        if (!name.startsWith('#'))
            return fail(unusable(QStringLiteral("it uses the entity “&%1;”, which is not read")
                                     .arg(QString::fromLatin1(name))));
        const bool hex = name.startsWith("#x") || name.startsWith("#X");
        const QByteArray number = name.mid(hex ? 2 : 1);
        bool ok = !number.isEmpty() && std::all_of(number.cbegin(), number.cend(), [&](char c) {
            return std::isdigit(uchar(c)) || (hex && std::isxdigit(uchar(c)));
        });
        const uint codePoint = ok ? number.toUInt(&ok, hex ? 16 : 10) : 0;
        // U+0000 is welcome: it is why this scanner exists.
        if (!ok || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return malformed(QStringLiteral("a character reference is malformed"));
        appendUtf8(text, codePoint);
        return true;
    }

    // Character data as XML reads it: every line ends in LF, CR LF and a lone CR included. (A
    // character reference is what keeps a CR.)
    static void appendLines(QByteArray &text, const char *data, qsizetype size)
    {
        while (const auto *cr = static_cast<const char *>(std::memchr(data, '\r', size_t(size)))) {
            text.append(data, cr - data);
            text += '\n';
            qsizetype used = cr - data + 1;
            if (used < size && data[used] == '\n')
                ++used;
            data += used;
            size -= used;
        }
        text.append(data, size);
    }

    // The character data of a leaf element up to its end tag, which it consumes.
    bool content(const Tag &tag, QByteArray &text)
    {
        if (tag.empty)
            return true;
        for (;;) {
            qsizetype next = m_at;
            while (next < m_bytes.size() && m_bytes[next] != '<' && m_bytes[next] != '&')
                ++next;
            appendLines(text, m_bytes.constData() + m_at, next - m_at);
            m_at = next;
            if (m_at >= m_bytes.size())
                return malformed(QStringLiteral("<%1> is not closed").arg(QString::fromLatin1(tag.name)));
            if (m_bytes[m_at] == '&') {
                if (!entity(text))
                    return false;
            } else if (lookingAt("<![CDATA[")) {
                m_at += 9;
                const qsizetype end = m_bytes.indexOf("]]>", m_at);
                if (end < 0)
                    return malformed(QStringLiteral("a character data section is not closed"));
                appendLines(text, m_bytes.constData() + m_at, end - m_at);
                m_at = end + 3;
            } else if (lookingAt("<!--")) {
                if (!skipPast("-->"))
                    return malformed(QStringLiteral("a comment is not closed"));
            } else {
                return endTag(tag.name);
            }
        }
    }

    bool text(const Tag &tag, QString &value)
    {
        QByteArray bytes;
        if (!content(tag, bytes))
            return false;
        if (!isValidUtf8(bytes.constData(), bytes.size()))
            return fail(unusable(QStringLiteral("it holds text that is not valid UTF-8")));
        // QString::fromUtf8 would drop a leading U+FEFF, which is a character of the text here.
        value = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom).decode(bytes);
        return true;
    }

    // One leaf value, its element's start tag read.
    bool leaf(const Tag &tag, QVariant &value)
    {
        const QByteArray &name = tag.name;
        if (name == "true" || name == "false") {
            while (!tag.empty && m_at < m_bytes.size() && isSpace(m_bytes[m_at]))
                ++m_at;
            if (!tag.empty && !endTag(name))
                return false;
            value = QVariant(name == "true");
            return true;
        }
        if (name == "string") {
            QString string;
            if (!text(tag, string))
                return false;
            value = QVariant(string);
            return true;
        }
        QByteArray bytes;
        if (name != "data" && name != "date" && name != "integer" && name != "real")
            return malformed(
                QStringLiteral("<%1> is not an element of property lists").arg(QString::fromLatin1(name)));
        if (!content(tag, bytes))
            return false;
        if (name == "data") {
            QByteArray compact;
            for (char c : std::as_const(bytes))
                if (!isSpace(c))
                    compact += c;
            auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                return malformed(QStringLiteral("a <data> element is not Base64"));
            value = QVariant(decoded.decoded);
            return true;
        }
        bytes = trimmed(bytes);
        if (name == "date") {
            const std::optional<double> seconds = parseDate(bytes);
            if (!seconds)
                return malformed(QStringLiteral("a <date> element is malformed"));
            value = QVariant::fromValue(PropertyListDate {*seconds});
            return true;
        }
        if (name == "integer") {
            bool tooWide = false;
            const std::optional<QVariant> number = parseInteger(bytes, tooWide);
            if (tooWide)
                return fail(unusable(QStringLiteral("it holds an integer wider than 64 bits")));
            if (!number)
                return malformed(QStringLiteral("an <integer> element is malformed"));
            value = *number;
            return true;
        }
        const std::optional<double> real = parseReal(bytes);
        if (!real)
            return malformed(QStringLiteral("a <real> element is malformed"));
        value = QVariant(*real);
        return true;
    }

    // Every value and every key counts, as the binary reader counts them.
    bool count()
    {
        if (++m_nodes > PropertyList::maximumNodes)
            return fail(
                unusable(QStringLiteral("it holds more than %1 values").arg(PropertyList::maximumNodes)));
        return true;
    }

    // Hands a finished value to the container it is in, or makes it the root.
    bool deliver(std::vector<Frame> &stack, QVariant value, std::optional<QVariant> &root)
    {
        if (!count())
            return false;
        if (stack.empty()) {
            root = std::move(value);
            return true;
        }
        Frame &frame = stack.back();
        if (!frame.dictionary) {
            frame.list.append(std::move(value));
            return true;
        }
        if (!frame.key)
            return malformed(QStringLiteral("a dictionary holds a value without a key"));
        if (frame.map.contains(*frame.key))
            return fail(unusable(QStringLiteral("it holds the key “%1” twice").arg(*frame.key)));
        frame.map.insert(*frame.key, std::move(value));
        frame.key.reset();
        return true;
    }

    bool value(QVariant &result)
    {
        std::vector<Frame> stack;
        std::optional<QVariant> root;
        while (!root) {
            if (!skipMisc(false))
                return false;
            if (!stack.empty() && lookingAt("</")) {
                Frame &frame = stack.back();
                if (!endTag(frame.dictionary ? QByteArray("dict") : QByteArray("array")))
                    return false;
                if (frame.key)
                    return malformed(QStringLiteral("a dictionary key has no value"));
                QVariant finished = frame.dictionary ? QVariant(frame.map) : QVariant(frame.list);
                stack.pop_back();
                if (!deliver(stack, std::move(finished), root))
                    return false;
                continue;
            }
            Tag tag;
            if (!startTag(tag))
                return false;
            if (tag.name == "key") {
                if (stack.empty() || !stack.back().dictionary || stack.back().key)
                    return malformed(QStringLiteral("a key stands where a value belongs"));
                QString key;
                if (!count() || !text(tag, key))
                    return false;
                stack.back().key = key;
                continue;
            }
            if (!stack.empty() && stack.back().dictionary && !stack.back().key)
                return malformed(QStringLiteral("a dictionary holds a value without a key"));
            if (tag.name == "dict" || tag.name == "array") {
                const bool dictionary = tag.name == "dict";
                // An empty element is a value, not a level of nesting.
                if (tag.empty) {
                    if (!deliver(stack, dictionary ? QVariant(QVariantMap()) : QVariant(QVariantList()),
                                 root))
                        return false;
                    continue;
                }
                if (stack.size() >= size_t(PropertyList::maximumDepth))
                    return fail(unusable(
                        QStringLiteral("it nests deeper than %1 levels").arg(PropertyList::maximumDepth)));
                stack.push_back({dictionary, {}, {}, std::nullopt});
                continue;
            }
            QVariant item;
            if (!leaf(tag, item) || !deliver(stack, std::move(item), root))
                return false;
        }
        result = std::move(*root);
        return true;
    }

    bool document(QVariant &root)
    {
        if (!lookingAt("<"))
            return malformed(QStringLiteral("it is not a property list"));
        const qsizetype start = m_at;
        Tag tag;
        if (!startTag(tag))
            return false;
        const bool wrapped = tag.name == "plist";
        if (!wrapped) {
            m_at = start; // the root value stands alone
        } else if (tag.empty) {
            return malformed(QStringLiteral("the property list is empty"));
        }
        if (!value(root) || !skipMisc(false))
            return false;
        if (wrapped && (!endTag("plist") || !skipMisc(false)))
            return false;
        if (m_at != m_bytes.size())
            return malformed(QStringLiteral("something follows the property list"));
        return true;
    }

    const QByteArray &m_bytes;
    qsizetype m_at = 0;
    qint64 m_nodes = 0;
    PropertyList::Reading m_failure;
};

class XmlWriter
{
public:
    QByteArray run(const QVariant &root)
    {
        m_out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                "<plist version=\"1.0\">\n";
        if (!write(root, 0))
            return {};
        m_out += "</plist>\n";
        return m_out;
    }

    QString error() const { return m_error; }

private:
    void indent(int depth) { m_out += QByteArray(depth, '\t'); }

    void element(int depth, const char *name, const QByteArray &text)
    {
        indent(depth);
        m_out += '<';
        m_out += name;
        m_out += '>';
        m_out += text;
        m_out += "</";
        m_out += name;
        m_out += ">\n";
    }

    bool refuse(const QString &why)
    {
        m_error = why;
        return false;
    }

    // Escaped UTF-8; false for a text that UTF-8 (an unpaired surrogate) or XML 1.0 (the controls
    // but tab, line feed and carriage return, U+FFFE, U+FFFF) cannot hold: strict readers refuse the
    // whole file over one such character, even written as a reference.
    bool escaped(const QString &text, QByteArray &out)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            const char16_t unit = c.unicode();
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                return refuse(
                    QStringLiteral("it holds a text with an unpaired surrogate, which XML cannot hold"));
            else if ((unit < 0x20 && unit != u'\t' && unit != u'\n' && unit != u'\r') || unit == 0xFFFE
                     || unit == 0xFFFF)
                return refuse(QStringLiteral("it holds the character U+%1, which XML cannot hold")
                                  .arg(QString::number(unit, 16).toUpper().rightJustified(4, u'0')));
        }
        for (char c : text.toUtf8()) {
            if (c == '&')
                out += "&amp;";
            else if (c == '<')
                out += "&lt;";
            else if (c == '>')
                out += "&gt;";
            else if (c == '\r')
                out += "&#13;"; // as itself, a reader would take it for a line break
            else
                out += c;
        }
        return true;
    }

    static QByteArray realText(double value)
    {
        if (std::isnan(value))
            return "nan";
        if (std::isinf(value))
            return value > 0 ? "+infinity" : "-infinity";
        if (value == 0)
            return std::signbit(value) ? "-0.0" : "0.0"; // QByteArray::number drops the sign of a zero
        return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
    }

    // Whole seconds: the form has no fraction.
    static std::optional<QByteArray> dateText(double seconds)
    {
        if (!std::isfinite(seconds) || std::fabs(seconds) > 1e13)
            return std::nullopt;
        const qint64 whole = qint64(std::floor(seconds));
        qint64 days = whole / 86400;
        qint64 rest = whole % 86400;
        if (rest < 0) {
            rest += 86400;
            --days;
        }
        qint64 year = 0;
        int month = 0, day = 0;
        civilFromDays(days + referenceDays, year, month, day);
        if (year < 0 || year > 9999)
            return std::nullopt;
        return QString::asprintf("%04lld-%02d-%02dT%02lld:%02lld:%02lldZ", year, month, day, rest / 3600,
                                 rest / 60 % 60, rest % 60)
            .toLatin1();
    }

    bool write(const QVariant &value, int depth)
    {
        if (value.metaType() == QMetaType::fromType<PropertyListDate>()
            || value.typeId() == QMetaType::QDateTime) {
            const std::optional<QByteArray> text = dateText(secondsOf(value));
            if (!text)
                return refuse(
                    QStringLiteral("it holds a date outside the years 0 to 9999, which XML cannot hold"));
            element(depth, "date", *text);
            return true;
        }
        if (value.metaType() == QMetaType::fromType<PropertyListUid>()) {
            // How keyed archives spell a reference in this form.
            indent(depth);
            m_out += "<dict>\n";
            element(depth + 1, "key", "CF$UID");
            element(depth + 1, "integer", QByteArray::number(value.value<PropertyListUid>().value));
            indent(depth);
            m_out += "</dict>\n";
            return true;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
            indent(depth);
            m_out += value.toBool() ? "<true/>\n" : "<false/>\n";
            return true;
        case QMetaType::LongLong:
            element(depth, "integer", QByteArray::number(value.toLongLong()));
            return true;
        case QMetaType::ULongLong:
            element(depth, "integer", QByteArray::number(value.toULongLong()));
            return true;
        case QMetaType::Float:
        case QMetaType::Double:
            element(depth, "real", realText(value.toDouble()));
            return true;
        case QMetaType::QString: {
            QByteArray text;
            if (!escaped(value.toString(), text))
                return false;
            element(depth, "string", text);
            return true;
        }
        case QMetaType::QByteArray:
            element(depth, "data", value.toByteArray().toBase64());
            return true;
        case QMetaType::QVariantList: {
            const QVariantList list = value.toList();
            indent(depth);
            if (list.isEmpty()) {
                m_out += "<array/>\n";
                return true;
            }
            m_out += "<array>\n";
            for (const QVariant &item : list) {
                if (!write(item, depth + 1))
                    return false;
            }
            indent(depth);
            m_out += "</array>\n";
            return true;
        }
        case QMetaType::QVariantMap: {
            const QVariantMap map = value.toMap();
            indent(depth);
            if (map.isEmpty()) {
                m_out += "<dict/>\n";
                return true;
            }
            m_out += "<dict>\n";
            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                QByteArray key;
                if (!escaped(it.key(), key))
                    return false;
                element(depth + 1, "key", key);
                if (!write(it.value(), depth + 1))
                    return false;
            }
            indent(depth);
            m_out += "</dict>\n";
            return true;
        }
        default:
            return refuse(
                QStringLiteral("it holds a value of type %1").arg(QString::fromLatin1(value.typeName())));
        }
    }

    QByteArray m_out;
    QString m_error;
};

} // namespace

PropertyList::Reading readXml(const QByteArray &bytes)
{
    return XmlReader(bytes).run();
}

QByteArray writeXml(const QVariant &value, QString &error)
{
    XmlWriter writer;
    QByteArray bytes = writer.run(value);
    if (bytes.isEmpty())
        error = writer.error();
    return bytes;
}

} // namespace Platform::PropertyListFormats

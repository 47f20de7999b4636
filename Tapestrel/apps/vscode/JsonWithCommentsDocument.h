#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

// How much of a file the reader takes on: its size in bytes and the nesting depth of its values.
struct JsonReadLimits
{
    qsizetype maxBytes = 32 * 1024 * 1024;
    int maxDepth = 256;
};

// One JSON document as its bytes and its parsed value, read either as strict JSON or the way VS Code
// reads its settings files: "//" and "/* */" comments and trailing commas outside strings are ignored,
// and a file of nothing but blanks and comments is an empty object.
// A UTF-8 byte-order mark is allowed in both. Of repeated keys in an object the last one wins.
//
// The members of a top-level object are kept with the byte ranges of their keys and values, so a
// member can be set by changing only the bytes of its value, or added before the closing brace in the
// file's own indentation and line endings: every other byte (comments, order, spacing, line endings,
// a missing final newline) stays as it was.
//
// Files of other applications are hostile input: the reader is bounded in size and nesting depth
// and never crashes on any bytes.
class JsonWithCommentsDocument
{
public:
    enum class Dialect { Strict, WithComments };

    using Limits = JsonReadLimits;

    // One member of the top-level object, in file order; repeated keys appear once per occurrence.
    struct Member
    {
        QString key;
        qsizetype keyStart = 0; // the opening quote
        qsizetype keyEnd = 0; // after the closing quote
        qsizetype valueStart = 0;
        qsizetype valueEnd = 0; // after the value's last byte
    };

    // The parsed document, or none with a message that says what is wrong and where.
    static std::optional<JsonWithCommentsDocument> parse(const QByteArray &bytes, Dialect dialect,
                                                         QString *error = nullptr, Limits limits = {});
    // The same for a file; a missing, unreadable or too large file gives none with a message.
    static std::optional<JsonWithCommentsDocument> parseFile(const QString &path, Dialect dialect,
                                                             QString *error = nullptr, Limits limits = {});

    const QByteArray &bytes() const { return m_bytes; }
    const QJsonValue &value() const { return m_value; }
    bool isObject() const { return m_value.isObject(); }
    // Whether the bytes hold nothing but blanks and comments (read as an empty object).
    bool holdsNothing() const { return m_openBrace < 0 && isObject(); }
    // Empty unless the document is an object.
    const QList<Member> &members() const { return m_members; }

    // The bytes with the top-level member `key` set to `value`: the value of its last occurrence (the
    // one that counts) replaced, or, when the key is absent, one member added after the last one.
    // Only for objects; `value` is a text, a Boolean, a number or null.
    QByteArray withMember(const QString &key, const QJsonValue &value) const;

    // `value` as JSON text: strings in UTF-8 with the escapes JSON needs.
    static QByteArray encode(const QJsonValue &value);

private:
    JsonWithCommentsDocument() = default;

    QByteArray insertedMember(const QString &key, const QJsonValue &value) const;
    QByteArray lineEnding() const;
    QByteArray indentationFor(const Member *last) const;
    QByteArray separatorFor(const Member *last) const;

    QByteArray m_bytes;
    QJsonValue m_value;
    QList<Member> m_members;
    qsizetype m_openBrace = -1;
    qsizetype m_closeBrace = -1;
    Dialect m_dialect = Dialect::Strict;
};

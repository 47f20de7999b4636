#pragma once

#include <QString>

#include <stdexcept>

namespace KivDesktopBackground {

// Raised while a background is turned into JSON or read back from it. Callers that take the text
// form (Background::fromRawValue, Background::rawValue) swallow it; it carries the offending key so
// that code reading a larger document can say where it failed.
class BackgroundCodingError : public std::runtime_error
{
public:
    BackgroundCodingError(const QString &key, const QString &message)
        : std::runtime_error(message.toStdString())
        , m_key(key)
    { }

    static BackgroundCodingError missingKey(const char *key)
    {
        return {QString::fromLatin1(key), QStringLiteral("No value associated with key \"%1\"").arg(key)};
    }
    static BackgroundCodingError wrongType(const char *key, const char *expected)
    {
        return {QString::fromLatin1(key), QStringLiteral("Expected %1 for key \"%2\"").arg(expected, key)};
    }

    QString key() const { return m_key; }
    QString message() const { return QString::fromUtf8(what()); }

private:
    QString m_key;
};

} // namespace KivDesktopBackground

#include "KivUtilities/Url.h"

#include <QCoreApplication>
#include <QStringList>

#include <optional>

namespace KivUtilities {

namespace {

QByteArray encodeQueryPart(const QString &text)
{
    // Everything but the unreserved characters and a few harmless sub-delimiters is encoded, which
    // keeps "&", "=", "+" and "#" inside the item they belong to.
    return QUrl::toPercentEncoding(text, QByteArrayLiteral("!$'()*,;:@/?"));
}

QUrl appending(const QUrl &url, const QList<std::pair<QString, QString>> &items)
{
    if (!url.isValid())
        return url;
    QString query = url.hasQuery() ? url.query(QUrl::FullyEncoded) : QString();
    for (const auto &[name, value] : items) {
        if (!query.isEmpty())
            query += QLatin1Char('&');
        query += QString::fromLatin1(encodeQueryPart(name)) + QLatin1Char('=')
            + QString::fromLatin1(encodeQueryPart(value));
    }
    QUrl result = url;
    result.setQuery(query, QUrl::StrictMode);
    return result.isValid() ? result : url;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Strict percent-decoding: a "%" not followed by two hexadecimal digits, or bytes that are not valid
// UTF-8, make the whole text undecodable.
std::optional<QString> removingPercentEncoding(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray bytes;
    bytes.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%') {
            bytes += utf8[i];
            continue;
        }
        if (i + 2 >= utf8.size())
            return std::nullopt;
        const int high = hexValue(utf8[i + 1]);
        const int low = hexValue(utf8[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    QString decoded = QString::fromUtf8(bytes);
    if (decoded.toUtf8() != bytes)
        return std::nullopt;
    return decoded;
}

} // namespace

QString campaignSource()
{
    const QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        return QStringLiteral("app");
    return name.toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

QUrl addingCampaignQueryItems(const QUrl &url)
{
    return appending(url,
                     {{QStringLiteral("utm_source"), campaignSource()},
                      {QStringLiteral("utm_medium"), QStringLiteral("app")}});
}

QUrl addingQueryItems(const QUrl &url, const QMap<QString, QString> &items)
{
    if (items.isEmpty())
        return url;
    QList<std::pair<QString, QString>> list;
    for (auto it = items.cbegin(); it != items.cend(); ++it)
        list.append({it.key(), it.value()});
    return appending(url, list);
}

QMap<QString, QString> queryParameters(const QUrl &url)
{
    QMap<QString, QString> parameters;
    if (!url.hasQuery())
        return parameters;
    const QString query = url.query(QUrl::FullyEncoded);
    for (const QString &piece : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const QStringList parts = piece.split(QLatin1Char('='), Qt::SkipEmptyParts);
        if (parts.size() == 1) {
            parameters.insert(parts[0], QString());
        } else if (parts.size() == 2) {
            if (const auto value = removingPercentEncoding(parts[1]))
                parameters.insert(parts[0], *value);
            else
                parameters.remove(parts[0]);
        }
    }
    return parameters;
}

} // namespace KivUtilities

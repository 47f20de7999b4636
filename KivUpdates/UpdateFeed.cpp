#include "KivUpdates/UpdateFeed.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace UpdateFeed {

namespace {

constexpr int maximumDepth = 32;

struct ItemTexts
{
    QString shortVersion;
    QString version;
    QString link;
    QString releaseNotesLink;
};

QUrl webLink(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))
        || url.host().isEmpty())
        return {};
    return url;
}

} // namespace

bool isValidVersion(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{1,9}(\\.\\d{1,9}){0,3}(-[0-9A-Za-z.]+)?$"));
    return pattern.match(text).hasMatch();
}

QList<FeedItem> parse(const QByteArray &document)
{
    if (document.size() > maximumSize)
        throw Error("The update feed is too large.");
    QXmlStreamReader reader(document);
    QList<FeedItem> items;
    bool sawRss = false;
    int depth = 0;
    std::optional<ItemTexts> item;
    QString element;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            // No document type declarations: nothing a feed needs, and the way to entity tricks.
            throw Error("The update feed could not be read.");
        case QXmlStreamReader::StartElement: {
            if (++depth > maximumDepth)
                throw Error("The update feed could not be read.");
            const QString name = reader.qualifiedName().toString();
            if (depth == 1 && name == QLatin1String("rss"))
                sawRss = true;
            if (name == QLatin1String("item")) {
                item = ItemTexts();
            } else if (item && name == QLatin1String("enclosure")) {
                const QXmlStreamAttributes attributes = reader.attributes();
                for (const QXmlStreamAttribute &attribute : attributes) {
                    const QString key = attribute.qualifiedName().toString();
                    if (key == QLatin1String("sparkle:shortVersionString") && item->shortVersion.isEmpty())
                        item->shortVersion = attribute.value().toString().trimmed();
                    else if (key == QLatin1String("sparkle:version") && item->version.isEmpty())
                        item->version = attribute.value().toString().trimmed();
                }
            }
            element = name;
            break;
        }
        case QXmlStreamReader::Characters:
            if (item) {
                const QString text = reader.text().toString().trimmed();
                if (element == QLatin1String("sparkle:shortVersionString"))
                    item->shortVersion = text;
                else if (element == QLatin1String("sparkle:version"))
                    item->version = text;
                else if (element == QLatin1String("link"))
                    item->link = text;
                else if (element == QLatin1String("sparkle:releaseNotesLink"))
                    item->releaseNotesLink = text;
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            element.clear();
            if (item && reader.qualifiedName() == QLatin1String("item")) {
                const QString version =
                    isValidVersion(item->shortVersion) ? item->shortVersion : item->version;
                if (isValidVersion(version)) {
                    QUrl link = webLink(item->link);
                    if (link.isEmpty())
                        link = webLink(item->releaseNotesLink);
                    items.append(FeedItem {KivUtilities::Version(version), link});
                }
                item.reset();
            }
            break;
        default:
            break;
        }
    }
    if (reader.hasError() || !sawRss)
        throw Error("The update feed could not be read.");
    if (items.isEmpty())
        throw Error("The update feed names no valid version.");
    return items;
}

FeedItem newest(const QList<FeedItem> &items)
{
    FeedItem best = items.value(0);
    for (const FeedItem &item : items) {
        if (item.version > best.version)
            best = item;
    }
    return best;
}

} // namespace UpdateFeed

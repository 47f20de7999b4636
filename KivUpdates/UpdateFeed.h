#pragma once

#include "KivUtilities/Version.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <stdexcept>

// One release that an update feed offers.
struct FeedItem
{
    KivUtilities::Version version;
    QUrl link; // the release's page; may be empty
};

// An appcast-style feed: an RSS document whose items each name a version (the element or the
// enclosure attribute "sparkle:shortVersionString", else "sparkle:version") and a page (the item's
// "link", else "sparkle:releaseNotesLink"). Items without a valid version are left out.
namespace UpdateFeed {

// Feeds larger than this are refused.
constexpr qsizetype maximumSize = 1024 * 1024;

struct Error : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// Whether a text is a version number: decimal numbers joined by ".", optionally "-" and a label.
bool isValidVersion(const QString &text);

// Reads a feed; throws Error when it is not a well-formed RSS document of reasonable size and
// depth, or when no item names a valid version.
QList<FeedItem> parse(const QByteArray &document);
// The newest item of a feed (the first of equal versions).
FeedItem newest(const QList<FeedItem> &items);

} // namespace UpdateFeed

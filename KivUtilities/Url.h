#pragma once

#include <QMap>
#include <QString>
#include <QUrl>

namespace KivUtilities {

// The value of the "utm_source" campaign item: the application's name in lower case with every space
// replaced by "-", or "app" when the application has no name.
QString campaignSource();

// The link with "utm_source" (campaignSource()) and "utm_medium" ("app") appended to its query.
// Existing items stay as they are and in their order, even one of the same name. An invalid link is
// returned unchanged.
QUrl addingCampaignQueryItems(const QUrl &url);

// The link with one query item per entry appended (in the map's order). Names and values are
// percent-encoded where needed, so a value holding "&", "=" or "+" stays one value. An empty map or
// an invalid link returns the link unchanged.
QUrl addingQueryItems(const QUrl &url, const QMap<QString, QString> &items);

// The link's query as names and values: pieces split at "&" and then at "=", empty parts dropped.
// A lone name maps to the empty text; a value is percent-decoded and its entry dropped when that
// fails; pieces with more than one "=" are ignored; a later piece replaces an earlier one of the
// same name. Names are taken as written.
QMap<QString, QString> queryParameters(const QUrl &url);

} // namespace KivUtilities

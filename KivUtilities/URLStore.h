#pragma once

#include <QMap>
#include <QString>
#include <QUrl>

#include <concepts>

namespace KivUtilities {

// A list of web addresses: an enumeration with a toRawValue() text per case, each a complete address
// fixed in the program. URLStore turns a case into a link, optionally with the campaign query items
// and extra items, and opens it in the user's browser through the workspace.
template<typename E>
concept URLStoreCase = std::is_enum_v<E> && requires(E value)
{
    {
        toRawValue(value)
        } -> std::convertible_to<QString>;
};

namespace URLStore {

// The link of a raw value. An invalid address is a fault in the program's own table and stops it.
QUrl rawURL(const QString &rawValue);
// rawURL, then the campaign items when asked, then the extra items (none leaves the link as it is).
QUrl url(const QString &rawValue, bool addingCampaign, const QMap<QString, QString> &extraItems = {});
// Opens url(...) with the workspace; whether that succeeded is not looked at.
void open(const QString &rawValue, bool addingCampaign, const QMap<QString, QString> &extraItems = {});

template<URLStoreCase E> QUrl rawURL(E value)
{
    return rawURL(QString(toRawValue(value)));
}

template<URLStoreCase E> QUrl url(E value, bool addingCampaign, const QMap<QString, QString> &extraItems = {})
{
    return url(QString(toRawValue(value)), addingCampaign, extraItems);
}

template<URLStoreCase E>
void open(E value, bool addingCampaign, const QMap<QString, QString> &extraItems = {})
{
    open(QString(toRawValue(value)), addingCampaign, extraItems);
}

} // namespace URLStore

} // namespace KivUtilities

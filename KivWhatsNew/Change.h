#pragma once

#include "KivUtilities/LocalizedStringKey.h"

#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <optional>

namespace KivWhatsNew {

// One item of a release's notes. Title and details are keys of the application's string table,
// translated when shown. `id` is unique across all releases of a store.
struct Change
{
    QString id;
    KivUtilities::LocalizedStringKey title;
    std::optional<KivUtilities::LocalizedStringKey> details;
    std::optional<QString> link;
    std::optional<QString> symbol;

    Change() = default;
    Change(QString id, QString title, std::optional<QString> details = std::nullopt,
           std::optional<QString> link = std::nullopt, std::optional<QString> symbol = std::nullopt);

    // The link as a web address; none when absent or not a valid address.
    std::optional<QUrl> url() const;

    // Reads {"id", "title", "details"?, "link"?, "symbol"?}; throws std::runtime_error when a
    // required key is missing or a value has the wrong type.
    static Change fromJson(const QJsonObject &object);

    bool operator==(const Change &other) const = default;
};

namespace detail {
// JSON member readers; they throw std::runtime_error naming the key.
QString requiredText(const QJsonObject &object, const char *key);
std::optional<QString> optionalText(const QJsonObject &object, const char *key);
} // namespace detail

// A web address from a text: none unless it parses strictly and has a scheme and a host.
std::optional<QUrl> webAddress(const std::optional<QString> &text);

} // namespace KivWhatsNew

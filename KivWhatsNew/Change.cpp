#include "KivWhatsNew/Change.h"

#include <QJsonValue>

#include <stdexcept>

namespace KivWhatsNew {

namespace detail {

QString requiredText(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString())
        throw std::runtime_error(std::string("\"") + key + "\" is missing or not a text");
    return value.toString();
}

std::optional<QString> optionalText(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        throw std::runtime_error(std::string("\"") + key + "\" is not a text");
    return value.toString();
}

} // namespace detail

std::optional<QUrl> webAddress(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

Change::Change(QString id, QString title, std::optional<QString> details, std::optional<QString> link,
               std::optional<QString> symbol)
    : id(std::move(id))
    , title(std::move(title))
    , link(std::move(link))
    , symbol(std::move(symbol))
{
    if (details)
        this->details = KivUtilities::LocalizedStringKey(*details);
}

std::optional<QUrl> Change::url() const
{
    return webAddress(link);
}

Change Change::fromJson(const QJsonObject &object)
{
    return Change(detail::requiredText(object, "id"), detail::requiredText(object, "title"),
                  detail::optionalText(object, "details"), detail::optionalText(object, "link"),
                  detail::optionalText(object, "symbol"));
}

} // namespace KivWhatsNew

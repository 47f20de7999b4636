#include "KivWhatsNew/Release.h"

#include <QJsonArray>

#include <stdexcept>

namespace KivWhatsNew {

Release::Release(const QString &version, std::optional<QString> summary, std::optional<QString> link,
                 QList<Change> changes)
    : version(version)
    , link(std::move(link))
    , changes(std::move(changes))
{
    if (summary)
        this->summary = KivUtilities::LocalizedStringKey(*summary);
}

Release Release::fromJson(const QJsonObject &object)
{
    const QJsonValue changes = object.value(QLatin1String("changes"));
    if (!changes.isArray())
        throw std::runtime_error("\"changes\" is missing or not an array");
    QList<Change> list;
    for (const QJsonValue &change : changes.toArray()) {
        if (!change.isObject())
            throw std::runtime_error("a change is not an object");
        list.append(Change::fromJson(change.toObject()));
    }
    return Release(detail::requiredText(object, "version"), detail::optionalText(object, "summary"),
                   detail::optionalText(object, "link"), std::move(list));
}

} // namespace KivWhatsNew

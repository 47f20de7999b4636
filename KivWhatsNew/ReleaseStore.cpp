#include "KivWhatsNew/ReleaseStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>
#include <stdexcept>

namespace KivWhatsNew {

ReleaseStore::ReleaseStore(QList<Release> list)
    : releases(std::move(list))
{
    std::stable_sort(releases.begin(), releases.end(),
                     [](const Release &a, const Release &b) { return a < b; });
    validateChangeIDs();
}

namespace {

QList<Release> decodeArray(const QJsonArray &array)
{
    QList<Release> list;
    for (const QJsonValue &value : array) {
        if (!value.isObject())
            throw std::runtime_error("a release is not an object");
        list.append(Release::fromJson(value.toObject()));
    }
    return list;
}

} // namespace

ReleaseStore ReleaseStore::fromJson(const QJsonObject &object)
{
    const QJsonValue value = object.value(QLatin1String("releases"));
    if (!value.isArray())
        throw std::runtime_error("\"releases\" is missing or not an array");
    ReleaseStore store;
    store.releases = decodeArray(value.toArray());
    return store;
}

QList<Release> ReleaseStore::releasesFromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw std::runtime_error(error.errorString().toStdString());
    if (!document.isArray())
        throw std::runtime_error("the top level is not an array");
    return decodeArray(document.array());
}

bool ReleaseStore::hasUniqueChangeIDs() const
{
    QSet<QString> ids;
    qsizetype count = 0;
    for (const Release &release : releases) {
        for (const Change &change : release.changes) {
            ids.insert(change.id);
            ++count;
        }
    }
    return ids.size() == count;
}

void ReleaseStore::validateChangeIDs() const
{
    if (!hasUniqueChangeIDs())
        qFatal("Cannot load releases. Changes IDs are not unique!");
}

qsizetype ReleaseStore::indexOf(const Release &release) const
{
    for (qsizetype i = 0; i < releases.size(); ++i) {
        if (releases[i].version == release.version)
            return i;
    }
    return -1;
}

std::optional<Release> ReleaseStore::releaseBefore(const Release &release) const
{
    const qsizetype i = indexOf(release);
    if (i <= 0)
        return std::nullopt;
    return releases[i - 1];
}

std::optional<Release> ReleaseStore::releaseAfter(const Release &release) const
{
    const qsizetype i = indexOf(release);
    if (i < 0 || i + 1 >= releases.size())
        return std::nullopt;
    return releases[i + 1];
}

} // namespace KivWhatsNew

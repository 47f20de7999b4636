#include "Tapestrel/apps/vscode/VSCodeProfileStore.h"

#include "Tapestrel/apps/vscode/JsonWithCommentsDocument.h"
#include "Tapestrel/apps/vscode/VSCodeLocations.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>

namespace {

// A profile's location names its folder below "User/profiles"; anything that would lead elsewhere
// is not a profile of this VS Code.
bool isFolderName(const QString &text)
{
    return !text.isEmpty() && text != QLatin1String(".") && text != QLatin1String("..")
        && !text.contains(QLatin1Char('/')) && !text.contains(QLatin1Char('\\')) && !text.contains(QChar(0));
}

} // namespace

VSCodeProfileStore::VSCodeProfileStore()
{
    m_profiles.append(VSCodeProfile::defaultProfile());
    if (const auto named = loadProfiles()) {
        m_profiles.append(*named);
        m_listWasRead = true;
    }
}

std::optional<QList<VSCodeProfile>> VSCodeProfileStore::loadProfiles()
{
    const auto path = VSCodeLocations::storagePath();
    if (!path)
        return std::nullopt;
    const auto document =
        JsonWithCommentsDocument::parseFile(*path, JsonWithCommentsDocument::Dialect::Strict);
    if (!document || !document->isObject())
        return std::nullopt;
    const QJsonObject storage = document->value().toObject();
    if (storage.isEmpty())
        return std::nullopt;
    QList<VSCodeProfile> profiles;
    const QJsonValue list = storage.value(QStringLiteral("userDataProfiles"));
    if (list.isUndefined())
        return profiles; // no named profiles
    if (!list.isArray())
        return std::nullopt;
    const QJsonArray entries = list.toArray();
    if (!std::all_of(entries.begin(), entries.end(),
                     [](const QJsonValue &entry) { return entry.isObject(); }))
        return std::nullopt;
    for (const QJsonValue &entry : entries) {
        const QJsonValue location = entry[QStringLiteral("location")];
        const QJsonValue name = entry[QStringLiteral("name")];
        if (!location.isString() || !name.isString() || !isFolderName(location.toString()))
            continue;
        profiles.append({location.toString(), name.toString(), false});
    }
    return profiles;
}

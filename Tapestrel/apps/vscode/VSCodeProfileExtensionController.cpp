#include "Tapestrel/apps/vscode/VSCodeProfileExtensionController.h"

#include "Tapestrel/apps/vscode/JsonWithCommentsDocument.h"

#include <QJsonArray>
#include <QJsonObject>

std::optional<VSCodeProfileExtension> VSCodeProfileExtension::fromJson(const QJsonValue &json)
{
    const QJsonValue id = json[QStringLiteral("identifier")][QStringLiteral("id")];
    const QJsonValue path = json[QStringLiteral("location")][QStringLiteral("path")];
    if (!id.isString() || !path.isString())
        return std::nullopt;
    return VSCodeProfileExtension {id.toString(), path.toString()};
}

std::optional<VSCodeProfileExtensionController> VSCodeProfileExtensionController::open(const QString &path)
{
    const auto document =
        JsonWithCommentsDocument::parseFile(path, JsonWithCommentsDocument::Dialect::Strict);
    if (!document || !document->value().isArray())
        return std::nullopt;
    const QJsonArray entries = document->value().toArray();
    VSCodeProfileExtensionController controller;
    for (const QJsonValue &entry : entries) {
        if (!entry.isObject())
            return std::nullopt;
        if (const auto extension = VSCodeProfileExtension::fromJson(entry))
            controller.m_profileExtensions.append(*extension);
    }
    return controller;
}

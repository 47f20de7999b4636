#include "Tapestrel/apps/vscode/VSCodeThemeFinder.h"

#include "Tapestrel/apps/vscode/JsonWithCommentsDocument.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

// An optional text field: absent or null is none; any other type makes the manifest unreadable.
bool optionalText(const QJsonObject &object, const QString &key, std::optional<QString> *out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    *out = value.toString();
    return true;
}

} // namespace

QList<VSCodeTheme> VSCodeThemeFinder::themes(const QString &extensionFolder)
{
    JsonWithCommentsDocument::Limits limits;
    limits.maxBytes = 8 * 1024 * 1024;
    const auto document =
        JsonWithCommentsDocument::parseFile(extensionFolder + QStringLiteral("/package.json"),
                                            JsonWithCommentsDocument::Dialect::Strict, nullptr, limits);
    if (!document || !document->isObject())
        return {};
    const QJsonValue contributes = document->value()[QStringLiteral("contributes")];
    if (contributes.isUndefined() || contributes.isNull())
        return {};
    if (!contributes.isObject())
        return {};
    const QJsonValue entries = contributes[QStringLiteral("themes")];
    if (!entries.isArray())
        return {};
    QList<VSCodeTheme> themes;
    for (const QJsonValue &entry : entries.toArray()) {
        if (!entry.isObject() || !entry[QStringLiteral("path")].isString())
            return {};
        std::optional<QString> id;
        std::optional<QString> label;
        if (!optionalText(entry.toObject(), QStringLiteral("id"), &id)
            || !optionalText(entry.toObject(), QStringLiteral("label"), &label))
            return {};
        const QString themeID = id.value_or(label.value_or(QString()));
        const QString name = label.value_or(themeID);
        // A theme without a name would be a row without text.
        if (!name.trimmed().isEmpty())
            themes.append({themeID, name});
    }
    return themes;
}

#pragma once

#include <QJsonValue>
#include <QString>

#include <optional>

// One entry of a profile's "extensions.json".
struct VSCodeProfileExtension
{
    QString id; // "identifier" → "id"
    QString path; // "location" → "path": the extension's folder

    // The entry of one parsed object; none when it lacks either text.
    static std::optional<VSCodeProfileExtension> fromJson(const QJsonValue &json);
};

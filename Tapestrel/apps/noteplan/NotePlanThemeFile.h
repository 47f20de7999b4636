#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A custom theme file of NotePlan: a JSON object whose text member "name" is the theme's name. Other
// members belong to NotePlan and are not read.
struct NotePlanThemeFile
{
    QString name;

    // Nothing unless the bytes are a JSON object with a text "name".
    static std::optional<NotePlanThemeFile> decode(const QByteArray &json);
};

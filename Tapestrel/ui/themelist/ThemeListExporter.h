#pragma once

#include "ThemeListGenerator.h"

#include <QString>

// Turns a profile's theme list into text. The list is taken when export() runs.
class ThemeListExporter
{
public:
    virtual ~ThemeListExporter() = default;

    // One line per theme, joined by line feeds, without a line feed after the last one; an empty
    // list gives the empty text.
    QString exportList(const ThemeListGenerator &generator) const;

protected:
    virtual QString line(const ThemeInfo &info) const = 0;
    static QString builtInSuffix(const ThemeInfo &info);
};

// "Application: Theme", with " (built in)" after a theme that ships with the application.
class PlainTextThemeListExporter : public ThemeListExporter
{
protected:
    QString line(const ThemeInfo &info) const override;
};

// "**Application:** Theme", with the same suffix.
class MarkdownThemeListExporter : public ThemeListExporter
{
protected:
    QString line(const ThemeInfo &info) const override;
};

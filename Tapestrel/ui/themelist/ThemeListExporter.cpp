#include "ThemeListExporter.h"

#include <QStringList>

QString ThemeListExporter::exportList(const ThemeListGenerator &generator) const
{
    QStringList lines;
    for (const ThemeInfo &info : generator.generate())
        lines.append(line(info));
    return lines.join(QLatin1Char('\n'));
}

QString ThemeListExporter::builtInSuffix(const ThemeInfo &info)
{
    return info.isBuiltIn ? QStringLiteral(" (built in)") : QString();
}

QString PlainTextThemeListExporter::line(const ThemeInfo &info) const
{
    return info.application + QStringLiteral(": ") + info.theme + builtInSuffix(info);
}

QString MarkdownThemeListExporter::line(const ThemeInfo &info) const
{
    return QStringLiteral("**") + info.application + QStringLiteral(":** ") + info.theme
        + builtInSuffix(info);
}

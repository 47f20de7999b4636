#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

#include <QCoro/QCoroTask>

#include <optional>

class AppConfig;

// The icons of the integrated applications, for the editor's application rows.
class IconFinder
{
public:
    // The icon of the edition to theme, square, `edge` pixels wide; nothing when no edition is
    // installed. The edition is chosen at the call.
    static QCoro::Task<std::optional<QImage>> icon(const AppConfig &config, int edge);
    // The icon of the installed application with this bundle identifier.
    static QCoro::Task<std::optional<QImage>> icon(QString bundleIdentifier, int edge);

    // The icon at exactly `size`: its own picture of that size when it has one, otherwise its
    // largest picture drawn scaled into the new image.
    static QImage resizedImage(const QIcon &icon, const QSize &size);
};

#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// What the program says about itself: its name, bundle identifier, version and icon.
namespace AppInfo {
inline const QString name = QStringLiteral("Tapestrel");
inline const QString bundleIdentifier = QStringLiteral("com.quorvane.Tapestrel");
// The version the running program says it is (the application's, which start-up sets to
// buildVersion()).
QString version();
// The version this build was made as.
QString buildVersion();
QIcon icon();
// The program's accent colour (buttons and symbols of its own windows).
inline QColor accentColor()
{
    return QColor(0x6b, 0x4f, 0xd8);
}
} // namespace AppInfo

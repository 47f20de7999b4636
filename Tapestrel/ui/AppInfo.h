#pragma once

#include <QIcon>
#include <QString>

// What the program says about itself: its name, bundle identifier, version and icon.
namespace AppInfo {
inline const QString name = QStringLiteral("Tapestrel");
inline const QString bundleIdentifier = QStringLiteral("com.quorvane.Tapestrel");
// The version the build was made with.
QString version();
QIcon icon();
} // namespace AppInfo

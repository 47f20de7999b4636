#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace KivTests {

// Saves a picture of the widget under the build folder for a person to look at.
inline QString saveScreenshot(QWidget *widget, const QString &name)
{
    // Executables live in <build>/bin, so this is <build>/screenshots whatever the working folder.
    QDir here(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    here.mkpath(QStringLiteral("screenshots"));
    const QString path = here.filePath(QStringLiteral("screenshots/%1.png").arg(name));
    widget->grab().save(path);
    return path;
}

} // namespace KivTests

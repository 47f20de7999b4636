#pragma once

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace KivTests {

// Saves a picture of the widget under the build folder (the tests run there) for a person to look at.
inline QString saveScreenshot(QWidget *widget, const QString &name)
{
    QDir here = QDir::current();
    here.mkpath(QStringLiteral("screenshots"));
    const QString path = here.filePath(QStringLiteral("screenshots/%1.png").arg(name));
    widget->grab().save(path);
    return path;
}

} // namespace KivTests

#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QWidget>

// Saves a picture of a picker under <build>/screenshots for a person to look at.
inline QString savePickerScreenshot(QWidget &widget, const QString &name)
{
    widget.adjustSize();
    widget.resize(qMax(widget.width(), 420), widget.height());
    QDir here(QCoreApplication::applicationDirPath());
    here.cdUp();
    here.mkpath(QStringLiteral("screenshots/system-pickers"));
    const QString path = here.filePath(QStringLiteral("screenshots/system-pickers/%1.png").arg(name));
    widget.grab().save(path);
    return path;
}

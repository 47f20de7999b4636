#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QWidget>

namespace TestSupport {

// Saves an image as <build>/screenshots/<name>.png for a person to look at and returns its path.
// The name may hold sub-folders. Executables live in <build>/bin, so the place does not depend on
// the working folder.
inline QString saveScreenshot(const QImage &image, const QString &name)
{
    const QString path = QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots"))
                             .absoluteFilePath(name + QStringLiteral(".png"));
    QDir().mkpath(QFileInfo(path).absolutePath());
    image.save(path);
    return QDir::cleanPath(path);
}

inline QString saveScreenshot(QWidget *widget, const QString &name)
{
    return saveScreenshot(widget->grab().toImage(), name);
}

// The widget's picture, also saved as a screenshot.
inline QImage grabAndKeep(QWidget *widget, const QString &name)
{
    const QImage image = widget->grab().toImage();
    saveScreenshot(image, name);
    return image;
}

// A window with a pop-up of its own (an open list, a menu) drawn where each is on the screen.
inline QImage grabWithPopup(QWidget *window, QWidget *popup)
{
    const QRect area = window->geometry().united(popup->geometry());
    QImage picture(area.size(), QImage::Format_ARGB32);
    picture.fill(Qt::darkGray);
    QPainter painter(&picture);
    painter.drawPixmap(window->geometry().topLeft() - area.topLeft(), window->grab());
    painter.drawPixmap(popup->geometry().topLeft() - area.topLeft(), popup->grab());
    return picture;
}

} // namespace TestSupport

#pragma once

#include "KivDesktopBackground/Background.h"

#include <QSize>
#include <QString>

#include <memory>
#include <optional>

namespace Platform {
class LinuxDesktop;
}

namespace KivDesktopBackground {

// Hands backgrounds to the desktop's own wallpaper, on a desktop that has one the program reaches:
// an image as its own file, a colour as such where the desktop shows plain colours, and everything
// else as a picture rendered once into a folder of the program's, at the size asked for (the largest
// screen's). A picture is named by its background and size, so the same background is not rendered
// again; the pictures the desktop no longer shows are removed from the folder.
class DesktopWallpaper
{
public:
    DesktopWallpaper(std::shared_ptr<Platform::LinuxDesktop> desktop, QString folder);
    ~DesktopWallpaper();

    // The hand-over for the desktop the program reaches (Platform::LinuxDesktop::current()), when that
    // desktop shows pictures; nothing otherwise.
    static std::unique_ptr<DesktopWallpaper> forCurrentDesktop(const QString &folder);

    // Shows the background on the desktop. A clear background is nothing to show: the desktop keeps
    // its own, and so does a desktop without the setting. An image is handed over by its file, in
    // whatever format; only a file that is not there (or is no regular file) is refused. Throws
    // Platform::DesktopError when the desktop did not take it (an image file that cannot be opened, a
    // picture that cannot be written, a desktop that refused); the desktop is then as it was.
    void show(const Background &background, const QSize &pixelSize);

    // What the desktop shows, as a background: a picture rendered here gives back the background it
    // was rendered from. Nothing when the desktop does not say.
    std::optional<Background> current() const;

    // The rendered picture of a background at a size, made unless it is there already. Throws
    // Platform::DesktopError when it cannot be written.
    QString picture(const Background &background, const QSize &pixelSize) const;

    QString folder() const { return m_folder; }
    // "background-<hash of the background and the size>.png".
    static QString pictureName(const Background &background, const QSize &pixelSize);

private:
    void removePicturesBut(const QString &shown) const;

    std::shared_ptr<Platform::LinuxDesktop> m_desktop;
    QString m_folder;
};

} // namespace KivDesktopBackground

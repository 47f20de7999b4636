#pragma once

#include "platform/DesktopTools.h"
#include "platform/LinuxDesktop.h"

#include <QList>
#include <QString>

#include <chrono>
#include <optional>

namespace Platform {

// Xfce, whose desktop window (xfdesktop) draws the background beneath its icons. Its settings live in
// xfconf and are reached through xfconf's own tool, xfconf-query, started with argument lists:
//
//   wallpaper    channel "xfce4-desktop": for every monitor and workspace the channel lists (the
//                backdrops "/backdrop/screen<n>/monitor<name>/workspace<m>"), "last-image" names the
//                file and "image-style" is 5 (zoomed); colours only as pictures; not read back
//   appearance, accent   none the program reaches: they stay in the emulated home (said once)
//
// xfconf-query that is not installed is a setting this desktop does not have (said once); one that
// fails or does not finish within the time-out is that change's failure (DesktopTools). A backdrop that
// shows the picture already is left as it is. Changing a picture takes one run of the tool for each
// property that differs, so a failure part way leaves the backdrops before it changed.
class XfceDesktop : public LinuxDesktop
{
public:
    static constexpr std::chrono::milliseconds defaultToolTimeout {10000};
    // More backdrops than this are no desktop's own: nothing is changed then.
    static constexpr int mostBackdrops = 256;

    explicit XfceDesktop(std::chrono::milliseconds toolTimeout = defaultToolTimeout)
        : m_tools(QStringLiteral("Xfce"), toolTimeout)
    { }

    QString name() const override { return QStringLiteral("Xfce"); }

    std::optional<bool> darkMode() const override { return std::nullopt; }
    bool setDarkMode(bool dark) override;

    std::optional<QString> accentColor() const override { return std::nullopt; }
    bool setAccentColor(const QString &name) override;

    bool showsPictures() const override { return true; }
    bool showsColors() const override { return false; }
    bool setPicture(const QString &file) override;
    bool setColor(const QColor &) override { return false; }
    std::optional<DesktopPicture> picture() const override { return std::nullopt; }

    // One monitor's workspace as the channel lists it, with the values the program sets; a value is
    // missing when the channel does not hold it or the listing does not say it plainly.
    struct Backdrop
    {
        QString path; // "/backdrop/screen0/monitorHDMI-1/workspace0"
        std::optional<QString> lastImage;
        std::optional<QString> imageStyle;

        bool operator==(const Backdrop &) const = default;
    };
    // The backdrops in the text of "xfconf-query -c xfce4-desktop -l -v", in its order. Lines that
    // are not a backdrop's property are passed over: other properties, and the further lines of a
    // value that holds line breaks. A property listed twice has no plain value.
    static QList<Backdrop> backdrops(const QByteArray &listing);

private:
    DesktopTools m_tools;
};

} // namespace Platform

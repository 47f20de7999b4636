#pragma once

#include "platform/LinuxDesktop.h"

#include <QMutex>

#include <memory>

namespace Platform {

// GNOME, through GSettings (the desktop's own store, dconf, behind it). A key is used only where the
// installed schema has it, with a value its schema allows, and only while it is writable; changes that
// take several keys are written together or not at all. A key the installed schema lacks (accent-color
// before GNOME 47) is a setting this GNOME does not have. Every reading and every change asks the
// store afresh, whichever store GSettings uses, so what another program changed meanwhile is seen.
//
//   appearance   org.gnome.desktop.interface color-scheme 'prefer-dark' / 'default'; gtk-theme between
//                'Adwaita' and 'Adwaita-dark' only when it holds one of the two
//   accent       org.gnome.desktop.interface accent-color by name, graphite as 'slate', multicolour
//                as the key's default
//   wallpaper    org.gnome.desktop.background picture-uri and picture-uri-dark, picture-options
//                'zoom'; a colour as primary-color with color-shading-type 'solid' and no picture
//   dock         org.gnome.shell.extensions.dash-to-dock (Dash to Dock, Ubuntu Dock), when installed:
//                dock-position, dock-fixed with autohide, dash-max-icon-size 16 to 64
class GnomeDesktop : public LinuxDesktop
{
public:
    struct Store
    {
        // A folder of compiled schemas used instead of the installed ones (the installed ones are
        // then not looked at); "" for the installed ones, with a dock extension's own.
        QString schemaFolder;
        // A keyfile that holds the settings instead of the desktop's store; "" for the desktop's.
        QString keyfile;
        // A store that takes no change (every key locked).
        bool readOnly = false;
    };

    // The installed schemas and the desktop's own store.
    GnomeDesktop();
    explicit GnomeDesktop(const Store &store);
    ~GnomeDesktop() override;

    QString name() const override { return QStringLiteral("GNOME"); }

    std::optional<bool> darkMode() const override;
    bool setDarkMode(bool dark) override;

    std::optional<QString> accentColor() const override;
    bool setAccentColor(const QString &name) override;

    bool showsPictures() const override;
    bool showsColors() const override;
    bool setPicture(const QString &file) override;
    bool setColor(const QColor &color) override;
    std::optional<DesktopPicture> picture() const override;

    std::optional<QString> dockPosition() const override;
    bool setDockPosition(const QString &edge) override;
    std::optional<bool> dockAutoHide() const override;
    bool setDockAutoHide(bool autoHide) override;
    std::optional<double> dockSize() const override;
    bool setDockSize(double size) override;

    // The icon size in pixels for a dock size of 0 to 1 (sizes outside it, and no number, are
    // clamped), and back.
    static int dockIconSize(double size);
    static double dockSizeForIcons(int pixels);

private:
    class Schemas;
    std::unique_ptr<Schemas> m_schemas;
    // One reading or change at a time: a change reads what it changes first.
    mutable QMutex m_mutex;
};

} // namespace Platform

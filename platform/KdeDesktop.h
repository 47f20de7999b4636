#pragma once

#include "platform/DesktopTools.h"
#include "platform/LinuxDesktop.h"

#include <QStringList>

#include <chrono>
#include <optional>

namespace Platform {

// KDE Plasma, through its own tools, started with argument lists (never through a shell), and its
// settings file kdeglobals ($XDG_CONFIG_HOME/kdeglobals), which is only read:
//
//   appearance   plasma-apply-colorscheme BreezeDark | BreezeLight; read from [General] ColorScheme
//   accent       plasma-apply-colorscheme --accent-color #RRGGBB; read from [General] AccentColor.
//                Multicolour is the Breeze schemes' own accent
//   wallpaper    plasma-apply-wallpaperimage <file>; colours only as pictures; not read back
//
// A tool that is not installed is a setting this Plasma does not have: it says so once on standard
// error, and that setting stays in the emulated home. A tool that fails or does not finish within the
// time-out is that change's failure (DesktopTools). Plasma has panels, not a dock of this kind.
class KdeDesktop : public LinuxDesktop
{
public:
    static constexpr std::chrono::milliseconds defaultToolTimeout {10000};

    explicit KdeDesktop(std::chrono::milliseconds toolTimeout = defaultToolTimeout)
        : m_tools(QStringLiteral("KDE Plasma"), toolTimeout)
    { }

    QString name() const override { return QStringLiteral("KDE Plasma"); }

    std::optional<bool> darkMode() const override;
    bool setDarkMode(bool dark) override;

    std::optional<QString> accentColor() const override;
    bool setAccentColor(const QString &name) override;

    bool showsPictures() const override { return true; }
    bool showsColors() const override { return false; }
    bool setPicture(const QString &file) override;
    bool setColor(const QColor &color) override;
    std::optional<DesktopPicture> picture() const override { return std::nullopt; }

    // The colour plasma-apply-colorscheme is given for an accent colour of the program.
    static QColor accentRgb(const QString &name);

    // The values of kdeglobals' [General] group that the program reads, from the file's text. Keys
    // with a locale or flags in brackets count as the plain key; later lines win.
    struct Globals
    {
        std::optional<QString> colorScheme;
        std::optional<QString> accentColor;
    };
    static Globals parseGlobals(const QByteArray &text);
    static QString globalsPath();

private:
    Globals globals() const;
    // False when the tool is not installed; throws DesktopError when it fails or hangs.
    bool runTool(const QString &tool, const QStringList &arguments) const
    {
        return m_tools.run(tool, arguments).has_value();
    }

    DesktopTools m_tools;
};

} // namespace Platform

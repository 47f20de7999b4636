#pragma once

#include <QColor>
#include <QString>

#include <memory>
#include <optional>
#include <stdexcept>

namespace Platform {

// A setting the desktop has but would not take: a locked key, a value its schema does not allow, a
// tool that failed or did not answer in time. Nothing of that setting changed. The message can be
// shown as it stands.
class DesktopError : public std::runtime_error
{
public:
    explicit DesktopError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    { }

    QString message() const { return m_message; }

private:
    QString m_message;
};

// What the desktop shows behind the windows: a picture file, or a plain colour.
struct DesktopPicture
{
    QString file; // empty for a colour
    QColor color; // invalid for a picture
};

// The Linux desktop the program runs on, where it has the same setting as the emulated home: the
// appearance, the accent colour, the wallpaper and the dock. The emulated home is written whatever
// happens here; this is what the person at the desktop sees as well.
//
// Each reading gives nothing where the desktop has no such setting, or holds a value the program has
// no name for; the caller then keeps to the emulated home. Each reading asks the desktop anew, so a
// change another program made is seen. Each change returns false where the desktop has no such
// setting (an older desktop without the key, a tool that is not installed): nothing is done, which
// is no failure, and standard error says so once per run. It throws DesktopError where the desktop
// has the setting but would not take the change; a change that is already in place is not made
// again. Accent colours, dock
// edges and sizes are the program's own names and ranges: "multicolor", "graphite", "red", "orange",
// "yellow", "green", "blue", "purple", "pink"; "left", "bottom", "right"; 0 to 1.
//
// Every member may be called from any thread.
class LinuxDesktop
{
public:
    virtual ~LinuxDesktop();

    // For messages: "GNOME", "KDE Plasma", "Xfce".
    virtual QString name() const = 0;

    virtual std::optional<bool> darkMode() const = 0;
    virtual bool setDarkMode(bool dark) = 0;

    virtual std::optional<QString> accentColor() const = 0;
    virtual bool setAccentColor(const QString &name) = 0;

    // Whether the wallpaper can be set to a picture file, and to a plain colour without one.
    virtual bool showsPictures() const = 0;
    virtual bool showsColors() const = 0;
    virtual bool setPicture(const QString &file) = 0;
    virtual bool setColor(const QColor &color) = 0;
    virtual std::optional<DesktopPicture> picture() const = 0;

    virtual std::optional<QString> dockPosition() const { return std::nullopt; }
    virtual bool setDockPosition(const QString &) { return false; }
    virtual std::optional<bool> dockAutoHide() const { return std::nullopt; }
    virtual bool setDockAutoHide(bool) { return false; }
    virtual std::optional<double> dockSize() const { return std::nullopt; }
    virtual bool setDockSize(double) { return false; }

    // The desktop the program acts on: none inside an emulated home ($TAPESTREL_HOME set), else GNOME,
    // KDE Plasma or Xfce by $XDG_CURRENT_DESKTOP (which names several desktops, separated by colons:
    // "ubuntu:GNOME", "Budgie:GNOME" and "Unity" count as GNOME), else none.
    static std::shared_ptr<LinuxDesktop> current();
    // Puts a desktop in place of the environment's choice, also none (nullptr): tests and benchmarks
    // choose theirs explicitly. followEnvironment() goes back to the environment's choice.
    static void select(std::shared_ptr<LinuxDesktop> desktop);
    static void followEnvironment();

    // Whether the program runs outside an emulated home in a desktop session: where the real
    // desktop's appearance is looked for at all.
    static bool reachesRealDesktop();

    // Whether the real desktop shows dark mode: the desktop's own setting where the program mirrors
    // it, else the desktop portal's colour scheme; nothing where neither says (other desktops, an
    // emulated home).
    static std::optional<bool> currentDarkMode();
    // Sets the desktop's appearance, unless it shows that appearance already (a person's own dark
    // colour scheme stays when dark is asked for). False where the desktop has no such setting.
    static bool applyDarkMode(bool dark);

    // One apply of a profile: within it, a desktop tool that did not answer in time is not started
    // again, and the later changes that need it fail at once. Rounds may nest; the outermost counts.
    class ChangeRound
    {
    public:
        ChangeRound();
        ~ChangeRound();
        ChangeRound(const ChangeRound &) = delete;
        ChangeRound &operator=(const ChangeRound &) = delete;
    };

    // "Tapestrel: <line>" on standard error, the first time this line comes up in the run.
    static void sayOnce(const QString &line);

    // The round of changes under way, numbered from 1; 0 outside any round.
    static quint64 currentRound();
};

} // namespace Platform

#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <optional>

namespace Platform {

// The value a script returned, with the readings a caller may ask of it.
class ScriptValue
{
public:
    enum class Kind {
        Null, // the script returned nothing
        Boolean,
        Integer,
        Real,
        Text,
        Enumerated, // a constant; its text reading is its four-character code ("bott", "left", "righ")
    };

    ScriptValue() = default;
    static ScriptValue null() { return {}; }
    static ScriptValue boolean(bool value);
    static ScriptValue integer(qint64 value);
    static ScriptValue real(double value);
    static ScriptValue text(const QString &value);
    static ScriptValue enumerated(const QString &code);

    Kind kind() const { return m_kind; }
    // Booleans as such, numbers as non-zero, the texts "true"/"yes" and "false"/"no"; nothing else.
    std::optional<bool> booleanValue() const;
    // Numbers, and texts that are a whole number; nothing else.
    std::optional<double> doubleValue() const;
    // Texts and constant codes; numbers and Booleans in their text form; nothing for Null.
    std::optional<QString> stringValue() const;

    friend bool operator==(const ScriptValue &, const ScriptValue &) = default;

private:
    Kind m_kind = Kind::Null;
    bool m_boolean = false;
    double m_number = 0.0;
    QString m_text;
};

struct ScriptResult
{
    bool succeeded = false;
    ScriptValue value; // Null unless the script succeeded and returned something
    int errorNumber = 0; // 0 on success
    QString errorMessage; // empty on success
    // The script changed the emulated state, but the real desktop did not take the change: why. Empty
    // when it did, or when the script reaches no real desktop.
    QString desktopFailure;

    static ScriptResult success(ScriptValue value = {}) { return {true, std::move(value), 0, {}, {}}; }
    static ScriptResult failure(int number, QString message)
    {
        return {false, {}, number, std::move(message), {}};
    }
};

// Runs the script texts that the program sends to the system and to other applications, against
// the emulated state of the home folder:
//
//   tell application "System Events"
//       tell appearance preferences to get dark mode | set dark mode to yes|no
//       tell dock preferences to get|set screen edge (left, bottom, right), dock size (0 to 1),
//           autohide, magnification, autohide menu bar
//       tell first desktop to get picture
//   end tell
//   tell application "Alfred" to set theme "<name>"
//
// The state lives where the system keeps it, so that the defaults tool and a script agree: dark mode
// is the global "AppleInterfaceStyle" ("Dark", absent when light); the Dock's settings are
// "orientation", "tilesize" (16 to 128 points), "autohide" and "magnification" of "com.apple.dock";
// the menu bar's auto-hiding is the global "_HIHideMenuBar"; the desktop picture is
// "Background" → "default" → "ImageFilePath" of "com.apple.desktop"; Alfred's theme is the
// "lightthemeuid" or "darkthemeuid" (by the current appearance) of Alfred's synced appearance
// preferences. Any other text is an error, and nothing runs when the text does not compile.
//
// Outside an emulated home, on a desktop that has the same setting (Platform::LinuxDesktop), dark mode
// and the Dock's edge, size and auto-hiding are changed on the real desktop as well, and read from it;
// so is the desktop picture. A change the desktop does not take leaves the emulated state changed and
// says why in the result's desktopFailure.
//
// Automation can be refused as a user refuses it: with $TAPESTREL_REFUSE_AUTOMATION set to anything
// but "" or "0", or with the file "Library/Workspace/AutomationRefused" in the emulated home, every
// script fails with error -1743.
//
// execute() may be called from any thread and blocks; run() executes on a worker thread and resumes
// on the caller's thread.
class ScriptHost
{
public:
    static constexpr int syntaxError = -2741;
    static constexpr int notAuthorizedError = -1743;
    static constexpr int cannotGetError = -1728;
    static constexpr int cannotMakeError = -1700;
    static constexpr int cannotSetError = -10006;

    static ScriptHost &shared();

    // Whether a script's changes also reach the real desktop, or stay in the emulated state.
    enum class Reach { desktop, emulatedHome };

    ScriptResult execute(const QString &source, Reach reach = Reach::desktop);
    QCoro::Task<ScriptResult> run(QString source, Reach reach = Reach::desktop);

    static bool isAutomationRefused();

    // The texts executed so far, oldest first (the last 500), for tests and diagnostics.
    QStringList history() const;
    void clearHistory();

private:
    ScriptHost() = default;
    void record(const QString &source);

    mutable QMutex m_mutex;
    QStringList m_history;
};

} // namespace Platform

#pragma once

#include "KivUtilities/MonitoredEvent.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace KivUtilities {

// A few special keys by their virtual key codes.
enum class Key : int {
    Return = 36,
    Escape = 53,
    Up = 126,
    Down = 125,
    Left = 123,
    Right = 124,
    Backspace = 51,
    Space = 49,
    LeftSquareBracket = 33,
    RightSquareBracket = 30,
    Tab = 48,
};

std::optional<Key> keyFromRawValue(int keyCode);

// One key combination, and whether a key event matches it.
class Shortcut
{
public:
    bool cmd = false;
    bool fn = false;
    bool ctrl = false;
    bool alt = false;
    bool shift = false;
    std::optional<QString> character; // the key's characters ignoring modifiers
    std::optional<int> keyCode;

    Shortcut(Key key, bool cmd = false, bool fn = false, bool ctrl = false, bool alt = false,
             bool shift = false);
    Shortcut(const QString &character, bool cmd = false, bool fn = false, bool ctrl = false, bool alt = false,
             bool shift = false);
    static Shortcut fromKeyCode(int keyCode, bool cmd = false, bool fn = false, bool ctrl = false,
                                bool alt = false, bool shift = false);

    bool matches(const MonitoredEvent &event) const;
    // Same modifiers, and the same character or the same key code.
    bool operator==(const Shortcut &other) const;

private:
    Shortcut() = default;
};

// The callbacks registered for one shortcut, in the order added.
class ShortcutHandlers
{
public:
    explicit ShortcutHandlers(Shortcut shortcut)
        : shortcut(std::move(shortcut))
    { }
    void add(std::function<void()> handler) { handlers.append(std::move(handler)); }

    Shortcut shortcut;
    QList<std::function<void()>> handlers;
};

// Dispatches key-down events to registered shortcuts: global ones for keys sent to other
// applications, local ones for keys sent to this program (which may consume the key).
class ShortcutMonitor
{
public:
    static ShortcutMonitor &shared();
    // Replaces the shared monitor (tests start afresh); the old one keeps running.
    static void setShared(std::shared_ptr<ShortcutMonitor> monitor);

    ShortcutMonitor();
    // The shared monitor lives for the process; one made and destroyed by its owner stops listening.
    ~ShortcutMonitor();
    ShortcutMonitor(const ShortcutMonitor &) = delete;
    ShortcutMonitor &operator=(const ShortcutMonitor &) = delete;

    void addGlobalShortcut(const Shortcut &shortcut, std::function<void()> handler);
    // The handler returns true when it handled the key: the key then goes no further.
    void addLocalShortcut(const Shortcut &shortcut, std::function<bool()> handler);

    const QList<std::shared_ptr<ShortcutHandlers>> &globalShortcutHandlers() const
    {
        return m_globalShortcutHandlers;
    }

private:
    void handleGlobal(const MonitoredEvent &event);

    QList<std::shared_ptr<ShortcutHandlers>> m_globalShortcutHandlers;
    int m_globalMonitor = 0;
};

} // namespace KivUtilities

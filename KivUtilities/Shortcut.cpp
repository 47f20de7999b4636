#include "KivUtilities/Shortcut.h"

#include "KivUtilities/EventMonitors.h"

namespace KivUtilities {

std::optional<Key> keyFromRawValue(int keyCode)
{
    switch (keyCode) {
    case 36:
    case 53:
    case 126:
    case 125:
    case 123:
    case 124:
    case 51:
    case 49:
    case 33:
    case 30:
    case 48:
        return static_cast<Key>(keyCode);
    default:
        return std::nullopt;
    }
}

Shortcut::Shortcut(Key key, bool cmd, bool fn, bool ctrl, bool alt, bool shift)
    : cmd(cmd)
    , fn(fn)
    , ctrl(ctrl)
    , alt(alt)
    , shift(shift)
    , keyCode(static_cast<int>(key))
{ }

Shortcut::Shortcut(const QString &character, bool cmd, bool fn, bool ctrl, bool alt, bool shift)
    : cmd(cmd)
    , fn(fn)
    , ctrl(ctrl)
    , alt(alt)
    , shift(shift)
    , character(character)
{ }

Shortcut Shortcut::fromKeyCode(int keyCode, bool cmd, bool fn, bool ctrl, bool alt, bool shift)
{
    Shortcut made;
    made.cmd = cmd;
    made.fn = fn;
    made.ctrl = ctrl;
    made.alt = alt;
    made.shift = shift;
    made.keyCode = keyCode;
    return made;
}

bool Shortcut::matches(const MonitoredEvent &event) const
{
    const quint64 flags = event.modifierFlags;
    if (bool(flags & ModifierFlag::command) != cmd)
        return false;
    // Arrow keys carry the Function flag by themselves, so it says nothing about them.
    const bool isArrow =
        event.keyCode == 126 || event.keyCode == 125 || event.keyCode == 123 || event.keyCode == 124;
    if (!isArrow && bool(flags & ModifierFlag::function) != fn)
        return false;
    if (bool(flags & ModifierFlag::control) != ctrl || bool(flags & ModifierFlag::option) != alt
        || bool(flags & ModifierFlag::shift) != shift)
        return false;
    if (character && *character == event.charactersIgnoringModifiers)
        return true;
    return keyCode && *keyCode == event.keyCode;
}

bool Shortcut::operator==(const Shortcut &other) const
{
    if (cmd != other.cmd || fn != other.fn || ctrl != other.ctrl || alt != other.alt || shift != other.shift)
        return false;
    if (character && other.character && *character == *other.character)
        return true;
    return keyCode && other.keyCode && *keyCode == *other.keyCode;
}

namespace {

std::shared_ptr<ShortcutMonitor> &sharedMonitor()
{
    static std::shared_ptr<ShortcutMonitor> monitor;
    return monitor;
}

} // namespace

ShortcutMonitor &ShortcutMonitor::shared()
{
    auto &monitor = sharedMonitor();
    if (!monitor)
        monitor = std::make_shared<ShortcutMonitor>();
    return *monitor;
}

void ShortcutMonitor::setShared(std::shared_ptr<ShortcutMonitor> monitor)
{
    // A monitor's global handler keeps it alive for the rest of the process, so a replaced one is
    // never destroyed under a running handler.
    static QList<std::shared_ptr<ShortcutMonitor>> retired;
    if (sharedMonitor())
        retired.append(sharedMonitor());
    sharedMonitor() = std::move(monitor);
}

ShortcutMonitor::ShortcutMonitor()
{
    m_globalMonitor = EventMonitors::shared().addGlobalMonitor(
        EventType::KeyDown, [this](const MonitoredEvent &event) { handleGlobal(event); });
}

ShortcutMonitor::~ShortcutMonitor()
{
    EventMonitors::shared().removeMonitor(m_globalMonitor);
}

void ShortcutMonitor::addGlobalShortcut(const Shortcut &shortcut, std::function<void()> handler)
{
    for (const auto &entry : m_globalShortcutHandlers) {
        if (entry->shortcut == shortcut) {
            entry->add(std::move(handler));
            return;
        }
    }
    auto entry = std::make_shared<ShortcutHandlers>(shortcut);
    entry->add(std::move(handler));
    m_globalShortcutHandlers.append(entry);
}

void ShortcutMonitor::addLocalShortcut(const Shortcut &shortcut, std::function<bool()> handler)
{
    EventMonitors::shared().addLocalMonitor(EventType::KeyDown,
                                            [shortcut, handler](const MonitoredEvent &event) {
                                                return shortcut.matches(event) && handler && handler();
                                            });
}

void ShortcutMonitor::handleGlobal(const MonitoredEvent &event)
{
    for (const auto &entry : m_globalShortcutHandlers) {
        if (entry->shortcut.matches(event)) {
            // Copy: a handler may register more shortcuts.
            const auto handlers = entry->handlers;
            for (const auto &handler : handlers)
                handler();
            return;
        }
    }
}

} // namespace KivUtilities

#pragma once

#include <QFlags>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace KivUtilities {

// The kinds of input events that monitors watch.
enum class EventType : quint32 {
    LeftMouseDown = 0x1,
    RightMouseDown = 0x2,
    MouseMoved = 0x4,
    KeyDown = 0x8,
    ScrollWheel = 0x10,
};
Q_DECLARE_FLAGS(EventMask, EventType)
Q_DECLARE_OPERATORS_FOR_FLAGS(EventMask)

// Modifier flags of a key event, with the bits the shortcut model is written in.
namespace ModifierFlag {
constexpr quint64 shift = 0x20000;
constexpr quint64 control = 0x40000;
constexpr quint64 option = 0x80000;
constexpr quint64 command = 0x100000;
constexpr quint64 function = 0x800000;
// Caps Lock, numeric pad and help: read but never compared.
constexpr quint64 capsLock = 0x10000;
constexpr quint64 numericPad = 0x200000;
} // namespace ModifierFlag

// One input event as monitors see it, whether it came to one of this program's windows (local) or
// went to another application (global).
struct MonitoredEvent
{
    EventType type = EventType::LeftMouseDown;
    bool isGlobal = false;
    // This program's top-level window the event belongs to; null for events of other applications.
    QPointer<QWidget> window;
    // The window-server number of the window under the event (other applications' windows); 0 when
    // unknown.
    quint64 windowNumber = 0;
    // Key events.
    quint64 modifierFlags = 0;
    QString charactersIgnoringModifiers;
    int keyCode = -1;
    // Scroll events: positive dx scrolls right, positive dy scrolls down.
    qreal scrollingDeltaX = 0;
    qreal scrollingDeltaY = 0;
};

} // namespace KivUtilities

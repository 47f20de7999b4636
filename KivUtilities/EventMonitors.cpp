#include "KivUtilities/EventMonitors.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWindow>

namespace KivUtilities {

namespace {

QWidget *widgetOf(QWindow *window)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window)
            return widget;
    }
    return nullptr;
}

} // namespace

EventMonitors::EventMonitors() = default;

EventMonitors &EventMonitors::shared()
{
    // Lives for the process: monitors may be removed from destructors that run late.
    static auto *instance = new EventMonitors;
    return *instance;
}

int EventMonitors::addLocalMonitor(EventMask mask, LocalHandler handler)
{
    if (!m_filterInstalled && qApp) {
        // Filtering at the top-level QWindow sees each input event once, before any widget.
        qApp->installEventFilter(this);
        m_filterInstalled = true;
    }
    const int token = m_nextToken++;
    m_monitors.insert(token, {mask, std::move(handler), {}});
    return token;
}

int EventMonitors::addGlobalMonitor(EventMask mask, GlobalHandler handler)
{
    const int token = m_nextToken++;
    m_monitors.insert(token, {mask, {}, std::move(handler)});
    return token;
}

void EventMonitors::removeMonitor(int token)
{
    m_monitors.remove(token);
}

int EventMonitors::localMonitorCount() const
{
    return int(
        std::count_if(m_monitors.begin(), m_monitors.end(), [](const Monitor &m) { return bool(m.local); }));
}

int EventMonitors::globalMonitorCount() const
{
    return int(
        std::count_if(m_monitors.begin(), m_monitors.end(), [](const Monitor &m) { return bool(m.global); }));
}

void EventMonitors::dispatchGlobal(const MonitoredEvent &event)
{
    // A handler may add or remove monitors: walk a snapshot of the tokens.
    const QList<int> tokens = m_monitors.keys();
    for (int token : tokens) {
        auto it = m_monitors.constFind(token);
        if (it == m_monitors.constEnd() || !it->global || !it->mask.testFlag(event.type))
            continue;
        const GlobalHandler handler = it->global;
        handler(event);
    }
}

bool EventMonitors::dispatchLocal(const MonitoredEvent &event)
{
    const QList<int> tokens = m_monitors.keys();
    for (int token : tokens) {
        auto it = m_monitors.constFind(token);
        if (it == m_monitors.constEnd() || !it->local || !it->mask.testFlag(event.type))
            continue;
        const LocalHandler handler = it->local;
        if (handler(event))
            return true;
    }
    return false;
}

QPointF EventMonitors::mouseLocation() const
{
    if (m_mouseOverride)
        return *m_mouseOverride;
    return QPointF(QCursor::pos());
}

int EventMonitors::virtualKeyCode(int qtKey)
{
    static const QHash<int, int> codes = {
        {Qt::Key_Return, 36},
        {Qt::Key_Enter, 36},
        {Qt::Key_Escape, 53},
        {Qt::Key_Up, 126},
        {Qt::Key_Down, 125},
        {Qt::Key_Left, 123},
        {Qt::Key_Right, 124},
        {Qt::Key_Backspace, 51},
        {Qt::Key_Space, 49},
        {Qt::Key_BracketLeft, 33},
        {Qt::Key_BracketRight, 30},
        {Qt::Key_Tab, 48},
        {Qt::Key_A, 0},
        {Qt::Key_S, 1},
        {Qt::Key_D, 2},
        {Qt::Key_F, 3},
        {Qt::Key_H, 4},
        {Qt::Key_G, 5},
        {Qt::Key_Z, 6},
        {Qt::Key_X, 7},
        {Qt::Key_C, 8},
        {Qt::Key_V, 9},
        {Qt::Key_B, 11},
        {Qt::Key_Q, 12},
        {Qt::Key_W, 13},
        {Qt::Key_E, 14},
        {Qt::Key_R, 15},
        {Qt::Key_Y, 16},
        {Qt::Key_T, 17},
        {Qt::Key_1, 18},
        {Qt::Key_2, 19},
        {Qt::Key_3, 20},
        {Qt::Key_4, 21},
        {Qt::Key_6, 22},
        {Qt::Key_5, 23},
        {Qt::Key_Equal, 24},
        {Qt::Key_9, 25},
        {Qt::Key_7, 26},
        {Qt::Key_Minus, 27},
        {Qt::Key_8, 28},
        {Qt::Key_0, 29},
        {Qt::Key_O, 31},
        {Qt::Key_U, 32},
        {Qt::Key_I, 34},
        {Qt::Key_P, 35},
        {Qt::Key_L, 37},
        {Qt::Key_J, 38},
        {Qt::Key_Apostrophe, 39},
        {Qt::Key_K, 40},
        {Qt::Key_Semicolon, 41},
        {Qt::Key_Backslash, 42},
        {Qt::Key_Comma, 43},
        {Qt::Key_Slash, 44},
        {Qt::Key_N, 45},
        {Qt::Key_M, 46},
        {Qt::Key_Period, 47},
        {Qt::Key_QuoteLeft, 50},
        {Qt::Key_Delete, 117},
    };
    return codes.value(qtKey, -1);
}

MonitoredEvent EventMonitors::fromKeyEvent(const QKeyEvent &event, QWidget *window)
{
    MonitoredEvent monitored;
    monitored.type = EventType::KeyDown;
    monitored.window = window;
    const Qt::KeyboardModifiers mods = event.modifiers();
    if (mods & Qt::ShiftModifier)
        monitored.modifierFlags |= ModifierFlag::shift;
    if (mods & Qt::ControlModifier)
        monitored.modifierFlags |= ModifierFlag::command;
    if (mods & Qt::MetaModifier)
        monitored.modifierFlags |= ModifierFlag::control;
    if (mods & Qt::AltModifier)
        monitored.modifierFlags |= ModifierFlag::option;
    if (mods & Qt::KeypadModifier)
        monitored.modifierFlags |= ModifierFlag::numericPad;
    const int key = event.key();
    monitored.keyCode = virtualKeyCode(key);
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) {
        QChar c(key);
        // Qt reports letters in upper case whatever the Shift state; the characters follow Shift.
        monitored.charactersIgnoringModifiers =
            QString((mods & Qt::ShiftModifier) ? c.toUpper() : c.toLower());
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        monitored.charactersIgnoringModifiers = QStringLiteral("\r");
    } else if (key == Qt::Key_Tab) {
        monitored.charactersIgnoringModifiers = QStringLiteral("\t");
    } else if (key == Qt::Key_Escape) {
        monitored.charactersIgnoringModifiers = QString(QChar(27));
    }
    return monitored;
}

bool EventMonitors::eventFilter(QObject *watched, QEvent *event)
{
    auto *window = qobject_cast<QWindow *>(watched);
    if (!window || m_monitors.isEmpty())
        return false;
    MonitoredEvent monitored;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            monitored.type = EventType::LeftMouseDown;
        else if (mouse->button() == Qt::RightButton)
            monitored.type = EventType::RightMouseDown;
        else
            return false;
        break;
    }
    case QEvent::MouseMove:
        monitored.type = EventType::MouseMoved;
        break;
    case QEvent::KeyPress:
        monitored = fromKeyEvent(*static_cast<QKeyEvent *>(event));
        break;
    case QEvent::Wheel: {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        monitored.type = EventType::ScrollWheel;
        // Pixel deltas where the device gives them, else wheel steps of 15 degrees as 10 points.
        const QPointF delta = !wheel->pixelDelta().isNull() ? QPointF(wheel->pixelDelta())
                                                            : QPointF(wheel->angleDelta()) / 12.0;
        // Qt's positive delta scrolls towards the top; here positive dy scrolls down.
        monitored.scrollingDeltaX = -delta.x();
        monitored.scrollingDeltaY = -delta.y();
        break;
    }
    default:
        return false;
    }
    monitored.window = widgetOf(window);
    return dispatchLocal(monitored);
}

} // namespace KivUtilities

#include "KivUtilities/EventMonitors.h"
#include "KivUtilities/Shortcut.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWindow>

#include <gtest/gtest.h>

using namespace KivUtilities;

namespace {

MonitoredEvent key(int keyCode, const QString &characters, quint64 flags)
{
    MonitoredEvent event;
    event.type = EventType::KeyDown;
    event.isGlobal = true;
    event.keyCode = keyCode;
    event.charactersIgnoringModifiers = characters;
    event.modifierFlags = flags;
    return event;
}

} // namespace

TEST(Shortcut, KeysAndMatchingRules)
{
    EXPECT_EQ(keyFromRawValue(36), Key::Return);
    EXPECT_EQ(keyFromRawValue(37), std::nullopt);

    using namespace ModifierFlag;
    const Shortcut cmdUp(Key::Up, true);
    EXPECT_TRUE(cmdUp.matches(key(126, QString(), command)));
    EXPECT_TRUE(cmdUp.matches(key(126, QString(), command | function))) << "arrows ignore Function";
    EXPECT_FALSE(cmdUp.matches(key(126, QString(), command | shift)));
    EXPECT_FALSE(cmdUp.matches(key(125, QString(), command)));

    const Shortcut cmdK(QStringLiteral("k"), true);
    EXPECT_TRUE(cmdK.matches(key(40, "k", command)));
    EXPECT_FALSE(cmdK.matches(key(40, "k", command | function)));
    EXPECT_TRUE(cmdK.matches(key(40, "k", command | capsLock | numericPad)))
        << "Caps Lock makes no difference";

    const Shortcut cmdShiftK(QStringLiteral("k"), true, false, false, false, true);
    EXPECT_FALSE(cmdShiftK.matches(key(40, "k", command)));

    Shortcut both(QStringLiteral("x"), false, false, true);
    both.keyCode = 7;
    EXPECT_TRUE(both.matches(key(99, "x", control)));
    EXPECT_TRUE(both.matches(key(7, "?", control)));
    EXPECT_FALSE(both.matches(key(8, "c", control)));

    EXPECT_TRUE(Shortcut(Key::Up, true) == Shortcut::fromKeyCode(126, true));
    EXPECT_FALSE(Shortcut(Key::Up, true) == Shortcut(Key::Down, true));
    EXPECT_FALSE(Shortcut(QStringLiteral("a")) == Shortcut::fromKeyCode(0));
    EXPECT_FALSE(Shortcut(Key::Up, true) == Shortcut(Key::Up, true, false, false, true));
}

TEST(Shortcut, QtKeyEventsBecomeMonitoredKeys)
{
    QKeyEvent shiftK(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier,
                     QStringLiteral("K"));
    const MonitoredEvent event = EventMonitors::fromKeyEvent(shiftK);
    EXPECT_EQ(event.keyCode, 40);
    EXPECT_EQ(event.charactersIgnoringModifiers.toStdString(), "K");
    EXPECT_EQ(event.modifierFlags, ModifierFlag::command | ModifierFlag::shift);

    QKeyEvent plainK(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(Shortcut(QStringLiteral("k"), true).matches(EventMonitors::fromKeyEvent(plainK)));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(Shortcut(Key::Escape).matches(EventMonitors::fromKeyEvent(escape)));
}

TEST(Shortcut, GlobalEntriesDispatchInRegistrationOrder)
{
    auto monitor = std::make_shared<ShortcutMonitor>();
    ShortcutMonitor::setShared(monitor);
    EXPECT_EQ(&ShortcutMonitor::shared(), monitor.get());

    QStringList calls;
    auto &shortcuts = ShortcutMonitor::shared();
    shortcuts.addGlobalShortcut(Shortcut(Key::Up, true), [&] { calls << "up-1"; });
    shortcuts.addGlobalShortcut(Shortcut::fromKeyCode(126, true), [&] { calls << "up-2"; });
    shortcuts.addGlobalShortcut(Shortcut(Key::Down, true), [&] { calls << "down"; });
    // A later entry that matches the same key as an earlier one never runs.
    shortcuts.addGlobalShortcut(Shortcut(QStringLiteral("u"), true), [&] { calls << "also-up"; });
    EXPECT_EQ(shortcuts.globalShortcutHandlers().size(), 3);

    EventMonitors::shared().dispatchGlobal(key(126, QString(), ModifierFlag::command));
    EXPECT_EQ(calls, QStringList({"up-1", "up-2"}));
    calls.clear();
    EventMonitors::shared().dispatchGlobal(
        key(125, QString(), ModifierFlag::command | ModifierFlag::function));
    EXPECT_EQ(calls, QStringList({"down"}));
    calls.clear();
    EventMonitors::shared().dispatchGlobal(key(125, QString(), 0));
    EXPECT_TRUE(calls.isEmpty());
    ShortcutMonitor::setShared(std::make_shared<ShortcutMonitor>());

    // A monitor of one's own stops listening when it goes; a key afterwards reaches nothing freed.
    const int globalBefore = EventMonitors::shared().globalMonitorCount();
    {
        ShortcutMonitor own;
        own.addGlobalShortcut(Shortcut(Key::Escape), [&] { calls << "own"; });
        EXPECT_EQ(EventMonitors::shared().globalMonitorCount(), globalBefore + 1);
    }
    EXPECT_EQ(EventMonitors::shared().globalMonitorCount(), globalBefore);
    calls.clear();
    EventMonitors::shared().dispatchGlobal(key(53, QString(QChar(27)), 0));
    EXPECT_TRUE(calls.isEmpty());
}

TEST(Shortcut, LocalHandlersConsumeOnlyWhenTheyHandled)
{
    QLineEdit field;
    field.show();
    field.activateWindow();
    field.setFocus();
    bool swallow = false;
    int seen = 0;
    ShortcutMonitor::shared().addLocalShortcut(Shortcut(QStringLiteral("q"), false, false, false, true), [&] {
        ++seen;
        return swallow;
    });
    auto press = [&field](Qt::Key key, Qt::KeyboardModifiers modifiers, const QString &text) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(field.windowHandle(), &down);
    };
    press(Qt::Key_Q, Qt::AltModifier, QStringLiteral("q"));
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(field.text(), "q") << "a handler that returns false lets the key through";
    swallow = true;
    press(Qt::Key_Q, Qt::AltModifier, QStringLiteral("q"));
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(field.text(), "q") << "a handler that returns true swallows it";
    press(Qt::Key_W, Qt::NoModifier, QStringLiteral("w"));
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(field.text(), "qw");
    swallow = false;
}

#pragma once

#include <QByteArrayList>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <chrono>
#include <cstdint>

// What a person and a window manager do to the windows of another program on the X display this
// test process runs on: find them, look at them, click into them, ask them to close. Clicks and
// close requests are the events the X server would deliver for them, sent to the window.
namespace TestSupport::X11 {

using Window = std::uint32_t;

// Whether this process runs on the xcb platform (the tests of the x11 label).
bool available();

// The viewable top-level windows whose _NET_WM_PID is the process, bottom to top.
QList<Window> windowsOf(qint64 processId);
// The window's place on the screen.
QRect geometry(Window window);
// _NET_WM_NAME, or WM_NAME without it.
QString title(Window window);
// WM_CLASS: the instance name, then the class name.
QByteArrayList wmClass(Window window);
// What the window shows; a null image when it is not viewable.
QImage grab(Window window);
// Polls the window until its picture has stayed the same for `still` (animations have ended);
// gives that picture, or a null image when the window went away or the time is up.
QImage settled(Window window, std::chrono::milliseconds still = std::chrono::milliseconds(450),
               std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Returns once the X server has seen to everything before now, the end of each program that ended
// before included: a round trip on this process's connection. A program started right after another
// one ended could otherwise connect while the server is still seeing to that end, which the tests'
// server now and then answers by dropping the new connection.
void sync();

// A left click at a point of the window: a press and a release.
void click(Window window, QPoint at);
// The window manager's close request (its close button, Alt+F4): WM_DELETE_WINDOW.
void requestClose(Window window);

} // namespace TestSupport::X11

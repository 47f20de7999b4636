#include "KivUtilities/WindowTranslucency.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

namespace KivUtilities {

namespace {

std::optional<bool> &overridden()
{
    static std::optional<bool> value;
    return value;
}

std::optional<bool> &opacityOverridden()
{
    static std::optional<bool> value;
    return value;
}

// A compositing manager owns the selection "_NET_WM_CM_S<screen>" while it runs.
bool x11CompositorRuns()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const std::string name = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.c_str()), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
}

} // namespace

bool WindowTranslucency::isAvailable()
{
    if (overridden())
        return *overridden();
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        return x11CompositorRuns();
    // Wayland composites every window; the other platforms (offscreen) draw into images.
    return true;
}

void WindowTranslucency::setOverride(std::optional<bool> available)
{
    overridden() = available;
}

bool WindowTranslucency::canChangeOpacity()
{
    if (opacityOverridden())
        return *opacityOverridden();
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void WindowTranslucency::setOpacityOverride(std::optional<bool> available)
{
    opacityOverridden() = available;
}

} // namespace KivUtilities

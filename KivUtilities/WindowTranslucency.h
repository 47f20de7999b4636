#pragma once

#include <optional>

namespace KivUtilities {

// Whether top-level windows can be see-through: only where a compositor blends them (always on
// Wayland; on X11 while a compositing manager runs). Without one, the transparent parts of a window
// show as black, so shaped windows paint opaque and cut their shape with a mask instead.
class WindowTranslucency
{
public:
    static bool isAvailable();
    // Tests decide it; none asks the display again.
    static void setOverride(std::optional<bool> available);

    // Whether a window's opacity can be changed: on X11. Qt's other platforms here (Wayland, offscreen)
    // cannot, and print a warning at each attempt, so fades there show and hide the window whole.
    static bool canChangeOpacity();
    // Tests decide it.
    static void setOpacityOverride(std::optional<bool> available);
};

} // namespace KivUtilities

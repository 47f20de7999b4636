#include "Tapestrel/system/WindowAccessibility.h"

namespace {

class NoWindowAccessibility : public WindowAccessibility
{
public:
    std::optional<QList<WindowID>> windows(qint64) const override { return std::nullopt; }
    std::optional<bool> isMinimized(qint64, WindowID) const override { return std::nullopt; }
    bool setMinimized(qint64, WindowID, bool) override { return false; }
};

WindowAccessibility *g_current = nullptr;

} // namespace

WindowAccessibility &WindowAccessibility::current()
{
    static NoWindowAccessibility none;
    return g_current ? *g_current : none;
}

void WindowAccessibility::setCurrent(WindowAccessibility *accessibility)
{
    g_current = accessibility;
}

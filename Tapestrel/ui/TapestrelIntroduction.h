#pragma once

#include <memory>

namespace KivIntroduction {
class IntroductionController;
}

// The program's introduction at first start: hello, the licence, the main window, the profile
// switcher, and ready. 1000 by 600, shown until "didShowIntroduction" is true.
namespace TapestrelIntroduction {
// The page about the profile switcher says where it is: in the system tray when the desktop has
// one, otherwise behind its shortcut in the main window.
std::unique_ptr<KivIntroduction::IntroductionController> makeController(bool systemTrayAvailable);
std::unique_ptr<KivIntroduction::IntroductionController> makeController();
// Whether the introduction is due, without making the controller (whose pages decode their pictures).
bool isDue();
} // namespace TapestrelIntroduction

#include "KivDesktopBackground/ScreenSource.h"

namespace KivDesktopBackground {

ScreenSource::~ScreenSource() = default;

} // namespace KivDesktopBackground

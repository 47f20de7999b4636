#pragma once

#include "Tapestrel/system/RawValueEnum.h"

// The screen edge of the Dock, stored as "left", "bottom" or "right".
enum class DockPosition { left, bottom, right };

QString toRawValue(DockPosition position);
QString title(DockPosition position);
template<> const QList<DockPosition> &allCases<DockPosition>();

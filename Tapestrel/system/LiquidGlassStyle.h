#pragma once

#include "Tapestrel/system/RawValueEnum.h"

// The look of the system's glass material, stored as "0" (clear) and "1" (tinted).
enum class LiquidGlassStyle { clear, tinted };

QString toRawValue(LiquidGlassStyle style);
QString title(LiquidGlassStyle style);
template<> const QList<LiquidGlassStyle> &allCases<LiquidGlassStyle>();

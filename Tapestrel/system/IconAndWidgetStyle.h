#pragma once

#include "Tapestrel/system/RawValueEnum.h"

// The system's style of application icons and widgets, stored by the global
// "AppleIconAppearanceTheme" text.
enum class IconAndWidgetStyle {
    defaultStyle,
    darkAlways,
    darkAuto,
    clearLight,
    clearDark,
    clearAuto,
    tintedLight,
    tintedDark,
    tintedAuto,
};

QString toRawValue(IconAndWidgetStyle style);
QString title(IconAndWidgetStyle style);
bool isTinted(IconAndWidgetStyle style);
template<> const QList<IconAndWidgetStyle> &allCases<IconAndWidgetStyle>();

#pragma once

#include "Tapestrel/system/RawValueEnum.h"

// Light or dark mode, stored as "light" and "dark".
enum class Appearance { light, dark };

QString toRawValue(Appearance appearance);
QString title(Appearance appearance);
template<> const QList<Appearance> &allCases<Appearance>();

#pragma once

#include <QColor>
#include <QIcon>

// The filled circle that colour pickers show before a colour's title.
namespace SwatchIcon {

QIcon make(const QColor &color, int extent = 14);

} // namespace SwatchIcon

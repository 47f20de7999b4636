#pragma once

#include "Tapestrel/apps/frame/Theme.h"

#include <QByteArray>
#include <QList>

// ForkLift's user themes as it keeps them: a data value holding a JSON array of objects with a text
// "id" and "name" (other members ignored). Anything else, one bad element included, gives none. A
// theme with an empty id or a blank name is left out.
namespace ForkLiftCustomTheme {

QList<Theme> decode(const QByteArray &data);

} // namespace ForkLiftCustomTheme

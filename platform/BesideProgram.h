#pragma once

#include <QString>

namespace Platform {

// Where a helper program installed next to this one (`name`, as "tapestrel-defaults") is: the path that
// the environment variable `variable` holds when it is set (tests and packagers point it elsewhere),
// else the program's own folder; never the search path. Empty when it is not there.
QString besideProgram(const QString &name, const char *variable);

} // namespace Platform

#pragma once

#include <QString>

namespace Platform {

// Where the defaults tool ("tapestrel-defaults") is: $TAPESTREL_DEFAULTS_TOOL when set, else the
// program's own folder (it is installed next to the program), else the search path. Empty when it
// is nowhere.
class DefaultsTool
{
public:
    static QString path();
};

} // namespace Platform

#include "platform/DefaultsTool.h"

#include "platform/BesideProgram.h"

namespace Platform {

QString DefaultsTool::path()
{
    return besideProgram(QStringLiteral("tapestrel-defaults"), "TAPESTREL_DEFAULTS_TOOL");
}

} // namespace Platform

#include "KivUtilities/Detached.h"

#include <QDebug>

namespace KivUtilities {

void logDetachedFailure(const char *context, const std::exception *error)
{
    if (error)
        qWarning("%s failed: %s", context, error->what());
    else
        qWarning("%s failed with an unknown exception", context);
}

} // namespace KivUtilities

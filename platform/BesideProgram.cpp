#include "platform/BesideProgram.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace Platform {

QString besideProgram(const QString &name, const char *variable)
{
    const QString fromEnvironment = qEnvironmentVariable(variable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    // Never looked up on the search path: whatever a folder in it holds under that name (the current
    // folder, where the search path names ".") would run as the program's own.
    if (QCoreApplication::instance()) {
        const QFileInfo beside(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
        if (beside.isFile() && beside.isExecutable())
            return beside.filePath();
    }
    return {};
}

} // namespace Platform

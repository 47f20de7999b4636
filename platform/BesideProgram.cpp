#include "platform/BesideProgram.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace Platform {

QString besideProgram(const QString &name, const char *variable)
{
    const QString fromEnvironment = qEnvironmentVariable(variable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    if (QCoreApplication::instance()) {
        const QFileInfo beside(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
        if (beside.isFile() && beside.isExecutable())
            return beside.filePath();
    }
    return QStandardPaths::findExecutable(name);
}

} // namespace Platform

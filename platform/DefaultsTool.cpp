#include "platform/DefaultsTool.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace Platform {

QString DefaultsTool::path()
{
    const QString fromEnvironment = qEnvironmentVariable("TAPESTREL_DEFAULTS_TOOL");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString name = QStringLiteral("tapestrel-defaults");
    if (QCoreApplication::instance()) {
        const QFileInfo beside(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
        if (beside.isFile() && beside.isExecutable())
            return beside.filePath();
    }
    return QStandardPaths::findExecutable(name);
}

} // namespace Platform

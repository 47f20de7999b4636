#include "platform/Home.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtGlobal>

namespace Platform {

QString Home::root()
{
    const QByteArray fromEnvironment = qgetenv("TAPESTREL_HOME");
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(QFile::decodeName(fromEnvironment));
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(dataHome + QStringLiteral("/tapestrel/home"));
}

QString Home::resolve(const QString &path)
{
    if (path == QLatin1String("~"))
        return root();
    if (path.startsWith(QLatin1String("~/")))
        return Home::path(path.mid(2));
    static const char *const systemFolders[] = {"/Applications/", "/Library/", "/System/", "/Users/"};
    for (const char *folder : systemFolders) {
        if (path.startsWith(QLatin1String(folder)))
            return Home::path(path.mid(1));
    }
    return path;
}

QString Home::path(const QString &relative)
{
    return QDir::cleanPath(root() + QLatin1Char('/') + relative);
}

QString Home::preferencesFolder()
{
    return path(QStringLiteral("Library/Preferences"));
}

QString Home::applicationSupportFolder()
{
    return path(QStringLiteral("Library/Application Support"));
}

QString Home::applicationsFolder()
{
    return path(QStringLiteral("Applications"));
}

} // namespace Platform

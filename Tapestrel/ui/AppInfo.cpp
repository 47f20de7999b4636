#include "AppInfo.h"

#include <QCoreApplication>

// Outside any namespace: the resource initialiser is declared where this function stands.
static void initAppResources()
{
    Q_INIT_RESOURCE(app);
}

QString AppInfo::version()
{
    return QCoreApplication::applicationVersion();
}

QString AppInfo::buildVersion()
{
    return QStringLiteral(TAPESTREL_VERSION);
}

QIcon AppInfo::icon()
{
    // An installed program's icon is in the icon theme; a program run from its build carries it.
    initAppResources();
    return QIcon::fromTheme(bundleIdentifier, QIcon(QStringLiteral(":/app/com.quorvane.Tapestrel.svg")));
}

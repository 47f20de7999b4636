#include "AppInfo.h"

#include "KivUtilities/Symbols.h"

#include <QCoreApplication>

QString AppInfo::version()
{
    return QCoreApplication::applicationVersion();
}

QIcon AppInfo::icon()
{
    QIcon icon = QIcon::fromTheme(QStringLiteral("preferences-desktop-theme"));
    return icon.isNull() ? KivUtilities::Symbols::icon(QStringLiteral("info.circle")) : icon;
}

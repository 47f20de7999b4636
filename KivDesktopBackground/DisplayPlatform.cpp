#include "KivDesktopBackground/DisplayPlatform.h"

#include <QtGlobal>

namespace KivDesktopBackground {

bool prefersX11UnderWayland(const QStringList &arguments, const QProcessEnvironment &environment)
{
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return false;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("-platform") || argument == QLatin1String("--platform")
            || argument.startsWith(QLatin1String("-platform=")) || argument.startsWith(QLatin1String("--platform=")))
            return false;
    }
    const bool wayland = environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland")
                         || !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    return wayland && !environment.value(QStringLiteral("DISPLAY")).isEmpty();
}

void chooseX11UnderWayland(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (prefersX11UnderWayland(arguments, QProcessEnvironment::systemEnvironment()))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

} // namespace KivDesktopBackground

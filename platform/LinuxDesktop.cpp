#include "platform/LinuxDesktop.h"

#include "platform/AppearancePortal.h"
#include "platform/GnomeDesktop.h"
#include "platform/KdeDesktop.h"
#include "platform/XfceDesktop.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#include <cstdio>

namespace Platform {

namespace {

QMutex selectionMutex;
std::optional<std::shared_ptr<LinuxDesktop>> selected;

QMutex roundMutex;
int roundDepth = 0;
quint64 roundNumber = 0;

enum class Session { other, gnome, kde, xfce };

Session sessionFromEnvironment()
{
    const QString desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    if (desktops.contains(QLatin1String("GNOME"), Qt::CaseInsensitive))
        return Session::gnome;
    for (const QString &desktop : desktops.split(u':', Qt::SkipEmptyParts)) {
        if (desktop.compare(QLatin1String("Unity"), Qt::CaseInsensitive) == 0)
            return Session::gnome;
        if (desktop.compare(QLatin1String("KDE"), Qt::CaseInsensitive) == 0)
            return Session::kde;
        if (desktop.compare(QLatin1String("XFCE"), Qt::CaseInsensitive) == 0)
            return Session::xfce;
    }
    return Session::other;
}

} // namespace

LinuxDesktop::~LinuxDesktop() = default;

bool LinuxDesktop::reachesRealDesktop()
{
    return qEnvironmentVariableIsEmpty("TAPESTREL_HOME")
        && !qEnvironmentVariableIsEmpty("XDG_CURRENT_DESKTOP");
}

std::shared_ptr<LinuxDesktop> LinuxDesktop::current()
{
    {
        QMutexLocker locker(&selectionMutex);
        if (selected)
            return *selected;
    }
    if (!reachesRealDesktop())
        return nullptr;
    // One of each for the process: GSettings keeps its schemas and its store for the process anyway.
    switch (sessionFromEnvironment()) {
    case Session::gnome: {
        static auto *gnome = new std::shared_ptr<LinuxDesktop>(std::make_shared<GnomeDesktop>());
        return *gnome;
    }
    case Session::kde: {
        static auto *kde = new std::shared_ptr<LinuxDesktop>(std::make_shared<KdeDesktop>());
        return *kde;
    }
    case Session::xfce: {
        static auto *xfce = new std::shared_ptr<LinuxDesktop>(std::make_shared<XfceDesktop>());
        return *xfce;
    }
    case Session::other:
        break;
    }
    return nullptr;
}

void LinuxDesktop::select(std::shared_ptr<LinuxDesktop> desktop)
{
    QMutexLocker locker(&selectionMutex);
    selected = std::move(desktop);
}

void LinuxDesktop::followEnvironment()
{
    QMutexLocker locker(&selectionMutex);
    selected.reset();
}

std::optional<bool> LinuxDesktop::currentDarkMode()
{
    if (const std::shared_ptr<LinuxDesktop> desktop = current()) {
        if (const std::optional<bool> dark = desktop->darkMode())
            return dark;
    }
    if (const std::shared_ptr<AppearancePortal> portal = AppearancePortal::current())
        return portal->prefersDark();
    return std::nullopt;
}

bool LinuxDesktop::applyDarkMode(bool dark)
{
    const std::shared_ptr<LinuxDesktop> desktop = current();
    if (!desktop)
        return false;
    // A scheme the program has no name for stays when the portal says it already looks as asked.
    if (!desktop->darkMode()) {
        const std::shared_ptr<AppearancePortal> portal = AppearancePortal::current();
        if (portal && portal->prefersDark() == dark)
            return true;
    }
    return desktop->setDarkMode(dark);
}

LinuxDesktop::ChangeRound::ChangeRound()
{
    QMutexLocker locker(&roundMutex);
    if (roundDepth++ == 0)
        ++roundNumber;
}

LinuxDesktop::ChangeRound::~ChangeRound()
{
    QMutexLocker locker(&roundMutex);
    --roundDepth;
}

quint64 LinuxDesktop::currentRound()
{
    QMutexLocker locker(&roundMutex);
    return roundDepth > 0 ? roundNumber : 0;
}

void LinuxDesktop::sayOnce(const QString &line)
{
    static QMutex saidMutex;
    static QSet<QString> said;
    QMutexLocker locker(&saidMutex);
    if (said.contains(line))
        return;
    said.insert(line);
    std::fprintf(stderr, "Tapestrel: %s\n", line.toUtf8().constData());
}

} // namespace Platform

#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace Platform {

// A desktop's own command-line programs (Plasma's plasma-apply-*, xfconf's xfconf-query), started by
// name from the search path with argument lists, never through a shell. What they write is read as it
// comes and only up to a bound, so a tool that writes without end costs neither memory nor time; a
// tool that does not finish within the time-out is stopped, and within the same round of changes (one
// apply, LinuxDesktop::ChangeRound) it is not started again: the later changes that need it fail at once.
class DesktopTools
{
public:
    // `desktop` names the desktop in messages ("KDE Plasma").
    DesktopTools(QString desktop, std::chrono::milliseconds timeout)
        : m_desktop(std::move(desktop))
        , m_timeout(timeout)
    { }

    // What the tool wrote, standard output and error together. Nothing when the tool is not installed:
    // a setting this desktop does not have, said once on standard error. Throws DesktopError when the
    // tool cannot be started, fails, writes more than `largestAnswer` bytes, or does not finish in time.
    std::optional<QByteArray> run(const QString &tool, const QStringList &arguments,
                                  qsizetype largestAnswer = 64 * 1024) const;

private:
    QString m_desktop;
    std::chrono::milliseconds m_timeout;
    // The round of changes in which each tool last did not finish in time.
    mutable QMutex m_hungMutex;
    mutable QHash<QString, quint64> m_hungInRound;
};

} // namespace Platform

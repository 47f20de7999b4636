#include "platform/DesktopTools.h"

#include "platform/LinuxDesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QProcess>
#include <QStandardPaths>

namespace Platform {

namespace {

QString translated(const char *message)
{
    return QCoreApplication::translate("DesktopTools", message);
}

void stop(QProcess &process)
{
    process.kill();
    process.waitForFinished(1000);
}

} // namespace

std::optional<QByteArray> DesktopTools::run(const QString &tool, const QStringList &arguments,
                                            qsizetype largestAnswer) const
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        LinuxDesktop::sayOnce(
            QStringLiteral("%1 is not installed; that setting stays in the emulated home.").arg(tool));
        return std::nullopt;
    }
    const quint64 round = LinuxDesktop::currentRound();
    {
        QMutexLocker locker(&m_hungMutex);
        if (round != 0 && m_hungInRound.value(tool) == round)
            throw DesktopError(translated("%1’s tool “%2” did not answer in time earlier in this apply, "
                                          "so it was not started again.")
                                   .arg(m_desktop, tool));
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    if (!process.waitForStarted(int(m_timeout.count())))
        throw DesktopError(translated("%1’s tool “%2” could not be started: %3")
                               .arg(m_desktop, tool, process.errorString()));
    // Read as it comes: the pipe holds what the tool writes until it is read, so the tool waits on a
    // full pipe instead of the program holding all it writes.
    const QDeadlineTimer deadline(m_timeout);
    QByteArray said;
    for (;;) {
        const bool finished = process.state() == QProcess::NotRunning;
        said += process.read(largestAnswer + 1 - said.size());
        if (said.size() > largestAnswer) {
            stop(process);
            throw DesktopError(translated("%1’s tool “%2” wrote more than %3 bytes, so it was stopped.")
                                   .arg(m_desktop, tool)
                                   .arg(largestAnswer));
        }
        if (finished)
            break;
        if (deadline.hasExpired()) {
            stop(process);
            QMutexLocker locker(&m_hungMutex);
            m_hungInRound.insert(tool, round);
            throw DesktopError(translated("%1’s tool “%2” did not finish in time.").arg(m_desktop, tool));
        }
        process.waitForReadyRead(int(deadline.remainingTime()));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString first = QString::fromUtf8(said.left(300)).trimmed().section(u'\n', 0, 0);
        throw DesktopError(first.isEmpty()
                               ? translated("%1’s tool “%2” failed.").arg(m_desktop, tool)
                               : translated("%1’s tool “%2” failed: %3").arg(m_desktop, tool, first));
    }
    return said;
}

} // namespace Platform

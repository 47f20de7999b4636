#include "platform/DefaultsTool.h"

#include "platform/AtomicFile.h"
#include "platform/BesideProgram.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>
#include <QProcess>

namespace Platform {

QString DefaultsTool::path()
{
    return besideProgram(QStringLiteral("tapestrel-defaults"), "TAPESTREL_DEFAULTS_TOOL");
}

UserDefaults *DefaultsTool::domain(const QString &argument)
{
    if (argument == QLatin1String("-g") || argument == QLatin1String("-globalDomain"))
        return &UserDefaults::global();
    return UserDefaults::suite(argument);
}

DefaultsTool::Run DefaultsTool::run(const QStringList &arguments, std::chrono::milliseconds limit)
{
    const QString program = path();
    if (program.isEmpty())
        return {};
    // What a write or a delete is to change, so that an ended run can tell whether it did.
    const QString verb = arguments.value(0);
    UserDefaults *domain = verb == QLatin1String("write") || verb == QLatin1String("delete")
        ? DefaultsTool::domain(arguments.value(1))
        : nullptr;
    const QString key = arguments.value(2);
    const QVariant before = domain ? domain->persistentValue(key) : QVariant();

    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
    // A tool that cannot start ends the call at once; there is no output to wait for.
    if (!process.waitForStarted())
        return {};
    if (!process.waitForFinished(int(limit.count()))) {
        process.kill();
        process.waitForFinished(1000);
        Run ended;
        if (domain) {
            // Ended in the middle of its exchange, it leaves the domain as the next write would find it:
            // that is finished first, and the domain is then as it stays.
            const QString file = AtomicFile::resolvedPath(domain->filePath()).value_or(domain->filePath());
            AtomicFile::finishInterruptedIn(QFileInfo(file).absolutePath());
            ended.changedWhenEnded = !PropertyList::identical(before, domain->persistentValue(key));
        }
        return ended;
    }
    const int exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {process.readAllStandardOutput(), exitCode, process.readAllStandardError(), std::nullopt};
}

} // namespace Platform

#pragma once

#include "testsupport/RunTask.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <csignal>

namespace TestSupport {

// What a finished child process left: its exit code (-1 when it did not start, crashed or was killed
// at the time-out) and everything it wrote.
struct ProcessRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// How runProcess waits for the child.
enum class WhileWaiting {
    block,
    // Keeps this process's event loop running: the child may be calling into this process.
    serveEvents,
};

// Runs a program to its end; a child still running at the time-out is killed.
inline ProcessRun
runProcess(const QString &program, const QStringList &arguments,
           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
           std::chrono::milliseconds timeout = std::chrono::seconds(60),
           WhileWaiting waiting = WhileWaiting::block)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    const bool finished = waiting == WhileWaiting::block ? process.waitForFinished(int(timeout.count()))
                                                         : process.waitForStarted(10000)
            && waitUntil([&process] { return process.state() == QProcess::NotRunning; }, timeout);
    ProcessRun run;
    if (!finished) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Sends a signal to a child that runs; never to a process id of 0, which is this test's process group.
inline void sendSignal(const QProcess &process, int signal)
{
    const qint64 pid = process.processId();
    ASSERT_GT(pid, 0) << "not running";
    ::kill(pid_t(pid), signal);
}

// `environment` with the sanitizer's leak check on, for a short-lived child that must free what it
// made (the tests run without it: the program and Qt keep some allocations for their whole life).
inline QProcessEnvironment withLeakCheck(QProcessEnvironment environment)
{
    const QString options = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       options + (options.isEmpty() ? "" : ":") + QStringLiteral("detect_leaks=1"));
    return environment;
}

} // namespace TestSupport

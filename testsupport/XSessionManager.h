#pragma once

#include "testsupport/RunTask.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <chrono>

namespace TestSupport {

// A real X session manager (xsm) with a home of its own, on the display of `environment`, whose own
// programs (the authority tool, which no package provides) are stand-ins built beside the tests.
class XSessionManager
{
public:
    static bool isInstalled() { return !QStandardPaths::findExecutable(QStringLiteral("xsm")).isEmpty(); }

    ~XSessionManager()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }

    // Starts it with its sessions in `folder`; true once it listens. Its clients need the variables
    // clientEnvironment() adds.
    bool start(const QString &folder, QProcessEnvironment environment)
    {
        QDir().mkpath(folder);
        // Its one startup command says where it listens.
        const QString told = folder + QStringLiteral("/listens-at");
        QFile::remove(told);
        QFile startup(folder + QStringLiteral("/.xsmstartup"));
        if (!startup.open(QIODevice::WriteOnly))
            return false;
        startup.write("sh -c 'printf %s \"$SESSION_MANAGER\" > " + QFile::encodeName(told) + "'\n");
        startup.close();
        m_authority = folder + QStringLiteral("/authority");
        environment.insert(QStringLiteral("HOME"), folder);
        environment.insert(QStringLiteral("ICEAUTHORITY"), m_authority);
        environment.insert(QStringLiteral("PATH"),
                           QCoreApplication::applicationDirPath() + QStringLiteral("/stand-ins:")
                               + environment.value(QStringLiteral("PATH")));
        // The sanitizer of the stand-ins takes the line buffering of the manager's output in its stead.
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           environment.value(QStringLiteral("ASAN_OPTIONS")) + ":verify_asan_link_order=0");
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        // What it says of the clients' saves comes through a pipe at once.
        process.start(QStringLiteral("stdbuf"),
                      {QStringLiteral("-oL"), QStringLiteral("xsm"), QStringLiteral("-verbose")});
        QFile address(told);
        return waitUntil(
            [&] {
                if (!address.isOpen() && (!address.exists() || !address.open(QIODevice::ReadOnly)))
                    return false;
                m_address = QString::fromLocal8Bit(address.readAll());
                return !m_address.isEmpty();
            },
            std::chrono::seconds(30));
    }

    // What a client of this manager needs in its environment.
    void addTo(QProcessEnvironment &environment) const
    {
        environment.insert(QStringLiteral("SESSION_MANAGER"), m_address);
        environment.insert(QStringLiteral("ICEAUTHORITY"), m_authority);
    }

    // Waits until the manager has heard every client say that it saved, `count` times since it started.
    bool savedAll(int count)
    {
        return waitUntil(
            [&] {
                said += process.readAll();
                return said.count("All clients issued SAVE YOURSELF DONE") >= count;
            },
            std::chrono::seconds(30));
    }

    QProcess process;
    QByteArray said;

private:
    QString m_address;
    QString m_authority;
};

} // namespace TestSupport

#pragma once

#include "testsupport/ScopedVariable.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace TestSupport {

// Stand-ins for the desktop's own programs: small scripts in a temporary folder that record each
// argument list they are started with and exit as told. For the life of the object $PATH is that
// folder alone, so a program that was not added is missing.
class StandInTools
{
public:
    StandInTools()
        : m_path(std::make_unique<ScopedVariable>("PATH", QFile::encodeName(m_folder.path())))
    { }

    // `then` is shell text run after the recording, before the exit (for example a sleep).
    bool add(const QString &name, int exitCode = 0, const QString &then = {}) const
    {
        const QString log = logOf(name);
        const QString script =
            QStringLiteral("#!/bin/sh\n"
                           "for argument in \"$@\"; do printf '%s\\037' \"$argument\"; done >> '%1'\n"
                           "printf '\\n' >> '%1'\n"
                           "%2\n"
                           "exit %3\n")
                .arg(log, then)
                .arg(exitCode);
        QFile file(QDir(m_folder.path()).filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(script.toUtf8()) < 0)
            return false;
        file.close();
        return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                   | QFile::ExeGroup);
    }

    // The argument lists of the program's runs, oldest first.
    QList<QStringList> calls(const QString &name) const
    {
        QFile file(logOf(name));
        QList<QStringList> calls;
        if (!file.open(QIODevice::ReadOnly))
            return calls;
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            QStringList arguments = line.split(QChar(0x1f));
            arguments.removeLast(); // every argument ends with the separator
            calls.append(arguments);
        }
        return calls;
    }

    QString folder() const { return m_folder.path(); }

private:
    QString logOf(const QString &name) const
    {
        return QDir(m_folder.path()).filePath(name + QStringLiteral(".log"));
    }

    QTemporaryDir m_folder;
    std::unique_ptr<ScopedVariable> m_path;
};

} // namespace TestSupport

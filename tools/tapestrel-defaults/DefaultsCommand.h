#pragma once

#include <QString>
#include <QStringList>

// One run of the defaults tool: the arguments after the program name in, what to print and the exit
// status out.
struct DefaultsCommandResult
{
    int exitCode = 0;
    QString output; // standard output
    QString error; // standard error, one line
};

DefaultsCommandResult runDefaultsCommand(const QStringList &arguments);

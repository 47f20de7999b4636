#pragma once

#include "KivDesktopBackground/PictureDecoder.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFile>

#include <optional>

namespace TestSupport {

// Stand-ins for the picture decoding process that answer nothing for `seconds` and note their process
// ids: for the life of the object the program starts them instead of the real decoder, and a test
// counts how many run at once.
class SilentDecoders
{
public:
    SilentDecoders(const TempHome &home, int seconds)
        : m_running(home.filePath(QStringLiteral("running")))
    {
        QDir(m_running).removeRecursively();
        QDir().mkpath(m_running);
        const QString script = home.filePath(QStringLiteral("silent"));
        // One made before in the same home can no longer be written, but by root.
        QFile::remove(script);
        home.writeFile(QStringLiteral("silent"),
                       "#!/bin/sh\necho > '" + QFile::encodeName(m_running) + "'/$$\nexec /bin/sleep "
                           + QByteArray::number(seconds) + "\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);
        m_tool.emplace("TAPESTREL_PICTURE_TOOL", QFile::encodeName(script));
        // The program's decoders start them from now on, not the real ones left idle by earlier tests.
        for (KivDesktopBackground::PictureDecoder *decoder :
             {&KivDesktopBackground::PictureDecoder::shared(),
              &KivDesktopBackground::PictureDecoder::previews()})
            decoder->endIdleProcesses();
    }

    // How many of them were started.
    int started() const { return int(QDir(m_running).entryList(QDir::Files).size()); }

    // How many of them run now (one that ended and waits to be reaped does not).
    int runningNow() const
    {
        int running = 0;
        for (const QString &pid : QDir(m_running).entryList(QDir::Files)) {
            QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!status.open(QIODevice::ReadOnly))
                continue;
            const QByteArray line = status.readAll();
            running += line.mid(line.lastIndexOf(") ") + 2).startsWith('Z') ? 0 : 1;
        }
        return running;
    }

private:
    QString m_running;
    std::optional<ScopedVariable> m_tool;
};

} // namespace TestSupport

#pragma once

#include "KivDesktopBackground/DecoderLimits.h"

#include <QByteArrayList>
#include <QString>

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace KivDesktopBackground {

class SpareCanvases;

// The picture decoding processes of one decoder ("tapestrel-picture"): started on demand, each with the
// socket that is its standard input, a pipe for its standard output and error whose bounded share the
// program passes on (DecoderOutput), its memory limit and an environment of its own; kept
// idle between pictures, and ended by a thread of their own once idle for a few seconds. The canvases
// lent to them are kept while they live (SpareCanvases), and told of each start and end. Every member
// may be called from any thread.
class DecodingProcesses
{
public:
    // A decoding process, and the program's end of the socket to it.
    struct Process
    {
        pid_t pid = 0;
        int socket = -1;
        std::chrono::steady_clock::time_point idleSince {};
    };

    // Processes that may cost what `limits` allow (each ends itself 10 s after the time of one picture,
    // where the program cannot), whose canvases `spares` keeps.
    DecodingProcesses(const DecoderLimits &limits, SpareCanvases &spares);
    ~DecodingProcesses();
    DecodingProcesses(const DecodingProcesses &) = delete;
    DecodingProcesses &operator=(const DecodingProcesses &) = delete;

    // An idle process (`idle` is then set), or a new one; nothing when none can be started, and `why`
    // says why.
    std::optional<Process> take(bool *idle, QString *why);
    // The process waits for its next picture.
    void giveBack(Process process);
    // Ends the processes that wait for a picture; the next picture starts a new one.
    void endIdle();

    // Ends the process at once, whatever it does, and reaps it.
    void end(Process &process);
    // The process's resident memory, in bytes; 0 when it cannot be told.
    static qint64 residentBytes(pid_t pid);

    // Where the decoder is: $TAPESTREL_PICTURE_TOOL when set (tests and packagers name another), else
    // beside the program; never searched for. Empty when it is not there.
    static QString tool();
    // The whole environment a decoding process gets, "NAME=value" each: what decoding needs of the
    // program's (its language, where a packaged toolkit's libraries lie, a sanitizer's options, the home
    // when it is an absolute path, the data folders that hold the user's fonts and the cache folder) and
    // nothing that reaches the desktop (no display, no bus address, no search path).
    static QByteArrayList environment();

private:
    std::optional<Process> start(QString *why);
    void reap();

    const DecoderLimits m_limits;
    SpareCanvases &m_spares;
    std::mutex m_starting;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Process> m_idle; // the most recently used last
    bool m_stopping = false;
    // Started last, once what it uses is there.
    std::thread m_reaper {&DecodingProcesses::reap, this};
};

} // namespace KivDesktopBackground

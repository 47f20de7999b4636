#pragma once

#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// With TAPESTREL_STARTUP_MARKS set, prints each start-up step's time since main() on standard error.
namespace StartupMarks {
inline void mark(const char *step)
{
    static const bool enabled = std::getenv("TAPESTREL_STARTUP_MARKS") != nullptr;
    static QElapsedTimer timer = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    if (!enabled)
        return;
    std::fprintf(stderr, "startup %7.2f ms %s", double(timer.nsecsElapsed()) / 1e6, step);
    if (FILE *status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (!std::strncmp(line, "VmHWM", 5) || !std::strncmp(line, "Rss", 3)) {
                line[std::strcspn(line, "\n")] = 0;
                std::fprintf(stderr, " | %s", line);
            }
        }
        std::fclose(status);
    }
    std::fputc('\n', stderr);
}
} // namespace StartupMarks

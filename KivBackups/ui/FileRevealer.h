#pragma once

#include <QList>
#include <QUrl>

#include <functional>

namespace KivBackups {

// Opens a file manager window with the given files selected. The desktop's file manager is asked
// over the session bus; without one, the folders that hold the files are opened instead. Nothing is
// awaited and nothing is reported.
class FileRevealer
{
public:
    using Handler = std::function<void(const QList<QUrl> &files)>;

    static void reveal(const QList<QUrl> &files);

    // Replaces the file manager, for tests; an empty handler brings it back.
    static void setHandler(Handler handler);
};

} // namespace KivBackups

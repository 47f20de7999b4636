#include "KivBackups/ui/FileRevealer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>

namespace KivBackups {

namespace {

FileRevealer::Handler &installedHandler()
{
    static FileRevealer::Handler handler;
    return handler;
}

void openFolders(const QList<QUrl> &files)
{
    QStringList folders;
    for (const QUrl &file : files) {
        const QString folder = QFileInfo(file.toLocalFile()).absolutePath();
        if (!folders.contains(folder))
            folders.append(folder);
    }
    for (const QString &folder : std::as_const(folders))
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace

void FileRevealer::reveal(const QList<QUrl> &files)
{
    if (files.isEmpty())
        return;
    if (const Handler &handler = installedHandler()) {
        handler(files);
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolders(files);
        return;
    }
    // The file manager interface of freedesktop.org desktops selects the items in a new window.
    QStringList uris;
    for (const QUrl &file : files)
        uris.append(file.toString(QUrl::FullyEncoded));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [files](QDBusPendingCallWatcher *finished) {
                         if (finished->isError())
                             openFolders(files);
                         finished->deleteLater();
                     });
}

void FileRevealer::setHandler(Handler handler)
{
    installedHandler() = std::move(handler);
}

} // namespace KivBackups

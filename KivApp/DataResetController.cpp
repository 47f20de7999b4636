#include "DataResetController.h"

#include <QDir>
#include <QFileInfo>

namespace KivApp {

QCoro::Task<std::optional<QString>> resetData(DataResetController *controller)
{
    if (!controller)
        co_return QStringLiteral("Nothing to reset.");
    std::optional<QString> failure;
    try {
        co_await controller->reset();
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    if (failure)
        co_return failure;

    QStringList leftOver;
    for (const QUrl &url : controller->urls()) {
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        if (path.isEmpty() || !info.exists())
            continue;
        const bool removed =
            info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
        if (!removed)
            leftOver.append(path);
    }
    if (!leftOver.isEmpty())
        co_return QStringLiteral("Could not delete: ") + leftOver.join(QStringLiteral(", "));
    co_return std::nullopt;
}

} // namespace KivApp

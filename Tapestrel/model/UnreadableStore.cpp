#include "Tapestrel/model/UnreadableStore.h"

#include "KivBackups/BackupError.h"
#include "KivBackups/FileOperations.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelError.h"
#include "platform/Alerts.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("UnreadableStore", text);
}

bool moveIfPresent(const QString &from, const QString &to)
{
    const QFileInfo info(from);
    if (!info.exists() && !info.isSymLink())
        return true;
    try {
        KivBackups::FileOperations::moveWithoutReplacing(from, to);
        return true;
    } catch (const KivBackups::BackupError &error) {
        qWarning("store: %s", qPrintable(error.message()));
        return false;
    }
}

std::unique_ptr<ModelContainer> &opened()
{
    static std::unique_ptr<ModelContainer> container;
    return container;
}

// The store at `path` opened, or why it cannot be.
std::optional<QString> open(const QString &path, std::unique_ptr<ModelContainer> *container)
{
    try {
        *container = std::make_unique<ModelContainer>(path);
        return std::nullopt;
    } catch (const ModelError &error) {
        return error.message();
    }
}

} // namespace

std::optional<QString> UnreadableStore::problem(const QString &path)
{
    std::unique_ptr<ModelContainer> container;
    return open(path, &container);
}

std::unique_ptr<ModelContainer> UnreadableStore::takeOpened(const QString &path)
{
    if (!opened() || opened()->filePath() != path)
        return nullptr;
    return std::move(opened());
}

std::optional<QString> UnreadableStore::moveAside(const QString &path, const QDateTime &now)
{
    const QString stamp = now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    for (int attempt = 1; attempt < 100; ++attempt) {
        QString kept = path + QStringLiteral(".unreadable-") + stamp;
        if (attempt > 1)
            kept += QLatin1Char('-') + QString::number(attempt);
        const QFileInfo target(kept);
        if (target.exists() || target.isSymLink())
            continue;
        if (!moveIfPresent(path, kept))
            return std::nullopt;
        // SQLite finds the journal of a kept store by its name, so they move together.
        for (const char *suffix : {"-wal", "-shm"})
            moveIfPresent(path + QLatin1String(suffix), kept + QLatin1String(suffix));
        return kept;
    }
    return std::nullopt;
}

bool UnreadableStore::ensureReadable(const QString &path, bool interactive, const QDateTime &now)
{
    opened().reset();
    const std::optional<QString> reason = open(path, &opened());
    if (!reason)
        return true;
    qWarning("store: %s cannot be opened: %s", qPrintable(path), qPrintable(*reason));
    if (!interactive) {
        // The command line that started the program reports the line with this prefix.
        std::fprintf(stderr, "tapestrel: %s\n",
                     qPrintable(tr("Tapestrel cannot open its profile store “%1”: %2").arg(path, *reason)));
        std::fflush(stderr);
        return false;
    }

    const QString keptName = QFileInfo(path).fileName() + QStringLiteral(".unreadable-")
        + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    Platform::Alert alert;
    alert.style = Platform::Alert::Style::Critical;
    alert.message = tr("Tapestrel can’t open its profile store.");
    alert.informativeText =
        tr("The file “%1” cannot be read: %2\n\nYou can quit, or move the file aside (it is kept beside it "
           "as "
           "“%3”) and start with an empty store. A backup can then be restored in Settings → Backups.")
            .arg(path, *reason, keptName);
    alert.buttons = {tr("Quit"), tr("Move Aside and Start Empty")};
    alert.defaultButton = 0;
    alert.cancelButton = 0;
    if (Platform::Alerts::run(alert).button != 1)
        return false;

    const std::optional<QString> kept = moveAside(path, now);
    const std::optional<QString> stillWrong = kept ? open(path, &opened()) : reason;
    if (!stillWrong)
        return true;
    Platform::Alert failed;
    failed.style = Platform::Alert::Style::Critical;
    failed.message = tr("Tapestrel can’t start with an empty store.");
    failed.informativeText = kept
        ? tr("The file was kept as “%1”, but a new store cannot be made at “%2”: %3")
              .arg(*kept, path, *stillWrong)
        : tr("The file “%1” could not be moved aside.").arg(path);
    failed.buttons = {tr("Quit")};
    failed.cancelButton = 0;
    Platform::Alerts::run(failed);
    return false;
}

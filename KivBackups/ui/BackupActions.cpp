#include "KivBackups/ui/BackupActions.h"

#include "KivBackups/BackupManager.h"
#include "KivBackups/FileSuffix.h"
#include "KivBackups/ui/BackupListView.h"
#include "KivBackups/ui/FileRevealer.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "zip/ZipError.h"

#include <QAction>
#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

namespace KivBackups::BackupActions {

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("KivBackups", source);
}

QAction *makeAction(const QString &title, const QString &symbol, QObject *parent)
{
    auto *action = new QAction(title, parent);
    if (!symbol.isEmpty()) {
        action->setIcon(KivUtilities::Symbols::icon(symbol));
        action->setProperty(KivUtilities::Symbols::propertyName, symbol);
    }
    return action;
}

// Keeps the action enabled while the selection's size passes the rule.
void followSelection(QAction *action, BackupListView *list, bool (*rule)(qsizetype count))
{
    const QPointer<BackupListView> view(list);
    const auto update = [action, view, rule] {
        action->setEnabled(view && rule(view->selectedBackups().size()));
    };
    update();
    QObject::connect(list, &BackupListView::selectedBackupsChanged, action, update);
}

bool anySelected(qsizetype count)
{
    return count > 0;
}

bool oneSelected(qsizetype count)
{
    return count == 1;
}

void finish(const QPointer<BackupListView> &list, const std::exception_ptr &failure)
{
    if (!list)
        return;
    if (failure)
        list->setError(errorFrom(failure));
    emit list->actionFinished();
}

Platform::Alert confirmation(const QString &title, const QString &message, const QString &button)
{
    Platform::Alert alert;
    alert.message = title;
    alert.informativeText = message;
    alert.buttons = {button, text("Cancel")};
    alert.defaultButton = 0;
    alert.cancelButton = 1;
    alert.style = Platform::Alert::Style::Warning;
    return alert;
}

// Locks or unlocks every selected backup. When one fails, the selection keeps the backups already
// changed (under their new names) and those not reached yet, so the user can try again.
QCoro::Task<void> changeLock(QPointer<BackupListView> list, bool lock)
{
    if (!list)
        co_return;
    const QPointer<BackupManager> manager = list->backupManager();
    const QList<Backup> chosen = list->selectedBackups().values();
    QStringList changedPaths;
    qsizetype done = 0;
    std::exception_ptr failure;
    for (const Backup &backup : chosen) {
        if (!manager)
            break;
        try {
            if (lock)
                co_await manager->lock(backup, true);
            else
                co_await manager->unlock(backup, true);
        } catch (...) {
            failure = std::current_exception();
            break;
        }
        ++done;
        changedPaths.append(lock ? FileSuffix::pathAdding(backup.path(), Backup::lockedSuffix)
                                 : FileSuffix::pathRemoving(backup.path(), Backup::lockedSuffix));
    }
    if (!list)
        co_return;
    if (!failure) {
        list->setSelectedBackups({});
    } else if (manager) {
        QSet<Backup> kept(chosen.begin() + done, chosen.end());
        for (const Backup &listed : manager->backups()) {
            if (changedPaths.contains(listed.path()))
                kept.insert(listed);
        }
        list->setSelectedBackups(kept);
    }
    finish(list, failure);
}

// Deletes the backups one by one and stops at the first failure; the selection is emptied either way.
QCoro::Task<void> deleteBackups(QPointer<BackupListView> list, QList<Backup> backups)
{
    if (!list)
        co_return;
    const QPointer<BackupManager> manager = list->backupManager();
    std::exception_ptr failure;
    for (const Backup &backup : backups) {
        if (!manager)
            break;
        try {
            co_await manager->deleteBackup(backup);
        } catch (...) {
            failure = std::current_exception();
            break;
        }
    }
    if (list)
        list->setSelectedBackups({});
    finish(list, failure);
}

} // namespace

QAction *backupButton(BackupListView *list, QObject *parent)
{
    QAction *action = makeAction(text("Make Backup"), QStringLiteral("arrow.triangle.2.circlepath"), parent);
    action->setObjectName(QStringLiteral("BackupButton"));
    const QPointer<BackupListView> view(list);
    const QPointer<BackupManager> manager = list->backupManager();
    const auto update = [action, manager] {
        action->setEnabled(manager && !manager->isWorking());
    };
    update();
    if (manager)
        QObject::connect(manager.data(), &BackupManager::isWorkingChanged, action, update);
    QObject::connect(action, &QAction::triggered, action,
                     [view] { KivUtilities::detached(makeBackup(view), "Making a backup"); });
    return action;
}

QAction *restoreBackupButton(BackupListView *list, QObject *parent)
{
    QAction *action = makeAction(text("Restore"), QStringLiteral("arrow.counterclockwise"), parent);
    action->setObjectName(QStringLiteral("RestoreBackupButton"));
    followSelection(action, list, &oneSelected);
    const QPointer<BackupListView> view(list);
    QObject::connect(action, &QAction::triggered, action, [view] {
        if (view)
            view->setRestoreBackupActionActive(true);
    });
    return action;
}

QAction *lockButton(BackupListView *list, QObject *parent)
{
    QAction *action = makeAction(text("Lock"), QStringLiteral("lock"), parent);
    action->setObjectName(QStringLiteral("LockButton"));
    followSelection(action, list, &anySelected);
    const QPointer<BackupListView> view(list);
    QObject::connect(action, &QAction::triggered, action,
                     [view] { KivUtilities::detached(lockSelected(view), "Locking backups"); });
    return action;
}

QAction *unlockButton(BackupListView *list, QObject *parent)
{
    QAction *action = makeAction(text("Unlock"), QStringLiteral("lock.open"), parent);
    action->setObjectName(QStringLiteral("UnlockButton"));
    followSelection(action, list, &anySelected);
    const QPointer<BackupListView> view(list);
    QObject::connect(action, &QAction::triggered, action,
                     [view] { KivUtilities::detached(unlockSelected(view), "Unlocking backups"); });
    return action;
}

QAction *deleteButton(BackupListView *list, QObject *parent)
{
    QAction *action = makeAction(text("Delete"), QStringLiteral("trash"), parent);
    action->setObjectName(QStringLiteral("DeleteButton"));
    followSelection(action, list, &anySelected);
    const QPointer<BackupListView> view(list);
    QObject::connect(action, &QAction::triggered, action, [view] {
        if (view && !view->selectedBackups().isEmpty())
            view->setDeleteConfirmationVisible(true);
    });
    return action;
}

QAction *deleteAllButton(BackupListView *list, QObject *parent)
{
    QAction *action = makeAction(text("Delete All"), QString(), parent);
    action->setObjectName(QStringLiteral("DeleteAllButton"));
    const QPointer<BackupListView> view(list);
    QObject::connect(action, &QAction::triggered, action, [view] {
        if (view)
            view->setDeleteAllConfirmationVisible(true);
    });
    return action;
}

QAction *showInFinderButton(BackupListView *list, QObject *parent)
{
    QAction *action =
        makeAction(text("Show in Finder"), QStringLiteral("magnifyingglass.circle.fill"), parent);
    action->setObjectName(QStringLiteral("ShowInFinderButton"));
    followSelection(action, list, &anySelected);
    const QPointer<BackupListView> view(list);
    QObject::connect(action, &QAction::triggered, action, [view] {
        if (view)
            showInFinder(view->selectedBackups());
    });
    return action;
}

Platform::Alert restoreConfirmation(const QString &restoreMessage)
{
    return confirmation(text("Are you sure you want to restore selected backup?"), restoreMessage,
                        text("Restore"));
}

Platform::Alert deleteConfirmation()
{
    return confirmation(text("Are you sure you want to delete selected backups?"), QString(), text("Delete"));
}

Platform::Alert deleteAllConfirmation()
{
    return confirmation(text("Are you sure you want to delete all backups?"), QString(), text("Delete All"));
}

Platform::Alert errorAlert(const BackupError &error)
{
    Platform::Alert alert;
    alert.message = error.message();
    alert.buttons = {text("OK")};
    alert.defaultButton = 0;
    alert.cancelButton = 0;
    alert.style = Platform::Alert::Style::Warning;
    return alert;
}

Platform::Alert restoredAlert(const QStringList &notes)
{
    Platform::Alert alert;
    alert.message = text("The backup was restored with changes.");
    alert.informativeText = notes.join(QLatin1Char('\n'));
    alert.buttons = {text("OK")};
    alert.defaultButton = 0;
    alert.cancelButton = 0;
    return alert;
}

QCoro::Task<void> makeBackup(QPointer<BackupListView> list)
{
    const QPointer<BackupManager> manager = list ? list->backupManager() : nullptr;
    std::exception_ptr failure;
    if (manager) {
        try {
            co_await manager->makeBackup(true);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    finish(list, failure);
}

QCoro::Task<void> restoreSelected(QPointer<BackupListView> list)
{
    const QPointer<BackupManager> manager = list ? list->backupManager() : nullptr;
    if (!manager || list->selectedBackups().isEmpty()) {
        finish(list, {});
        co_return;
    }
    const Backup backup = *list->selectedBackups().cbegin();
    std::exception_ptr failure;
    // The current data is kept first, in the restore's turn, so a restore can always be undone.
    try {
        const QStringList notes = co_await manager->restoreKeepingCurrent(backup);
        // From the event loop, not from inside the resumption of the restore.
        if (!notes.isEmpty() && list)
            QTimer::singleShot(0, list, [list, notes] { Platform::Alerts::run(restoredAlert(notes), list); });
    } catch (...) {
        failure = std::current_exception();
    }
    finish(list, failure);
}

QCoro::Task<void> lockSelected(QPointer<BackupListView> list)
{
    return changeLock(std::move(list), true);
}

QCoro::Task<void> unlockSelected(QPointer<BackupListView> list)
{
    return changeLock(std::move(list), false);
}

QCoro::Task<void> deleteSelected(QPointer<BackupListView> list)
{
    const QList<Backup> chosen = list ? list->selectedBackups().values() : QList<Backup>();
    return deleteBackups(std::move(list), chosen);
}

QCoro::Task<void> deleteAll(QPointer<BackupListView> list)
{
    const QList<Backup> all =
        list && list->backupManager() ? list->backupManager()->backups() : QList<Backup>();
    return deleteBackups(std::move(list), all);
}

void showInFinder(const QSet<Backup> &backups)
{
    QList<QUrl> files;
    for (const Backup &backup : backups)
        files.append(backup.url);
    FileRevealer::reveal(files);
}

BackupError errorFrom(std::exception_ptr failure)
{
    static const QString otherDomain = QStringLiteral("com.quorvane.KivBackups.UnderlyingErrors");
    const QString fallback = text("The operation could not be completed.");
    try {
        std::rethrow_exception(failure);
    } catch (const BackupError &error) {
        return error;
    } catch (const Zip::ZipError &error) {
        return BackupError(QStringLiteral("com.quorvane.Zip.Errors"), int(error.code()), error.description());
    } catch (const std::exception &error) {
        const QString message = QString::fromUtf8(error.what());
        return BackupError(otherDomain, 0, message.isEmpty() ? fallback : message);
    } catch (...) {
        return BackupError(otherDomain, 0, fallback);
    }
}

} // namespace KivBackups::BackupActions

#pragma once

#include "KivBackups/Backup.h"
#include "KivBackups/BackupError.h"
#include "platform/Alerts.h"

#include <QPointer>
#include <QSet>

#include <QCoro/QCoroTask>

#include <exception>

class QAction;
class QObject;

namespace KivBackups {

class BackupListView;

// The actions of the backups list. Each button is a QAction owned by `parent` that keeps its enabled
// state up to date with the list and the manager. Buttons that need a confirmation only raise the
// list's flag; the list shows the confirmation and then starts the run below.
namespace BackupActions {

// "Make Backup": a locked backup; enabled while the manager is not making one.
QAction *backupButton(BackupListView *list, QObject *parent);
// "Restore": asks first; enabled with exactly one selected backup.
QAction *restoreBackupButton(BackupListView *list, QObject *parent);
// "Lock", "Unlock": every selected backup; enabled with a selection.
QAction *lockButton(BackupListView *list, QObject *parent);
QAction *unlockButton(BackupListView *list, QObject *parent);
// "Delete": asks first; enabled with a selection.
QAction *deleteButton(BackupListView *list, QObject *parent);
// "Delete All": asks first; always enabled.
QAction *deleteAllButton(BackupListView *list, QObject *parent);
// "Show in Finder": a file manager window with the selected files; enabled with a selection.
QAction *showInFinderButton(BackupListView *list, QObject *parent);

// The confirmations: the action's button (Return) and "Cancel" (Escape).
Platform::Alert restoreConfirmation(const QString &restoreMessage);
Platform::Alert deleteConfirmation();
Platform::Alert deleteAllConfirmation();
// The alert of a failed action: its message and "OK", which Escape answers too.
Platform::Alert errorAlert(const BackupError &error);
// The alert after a restore that brought the data back changed: what the handler told, and "OK".
Platform::Alert restoredAlert(const QStringList &notes);

// The runs. Each catches its failure and writes the first one into the list's error, and tells the
// list when it has ended.
// A locked backup.
QCoro::Task<void> makeBackup(QPointer<BackupListView> list);
// A locked backup of the current data, and only when that succeeded, a restore of the selected one;
// what the restore tells of changed data is shown in restoredAlert() once the current event is
// handled.
QCoro::Task<void> restoreSelected(QPointer<BackupListView> list);
// Every selected backup, stopping at the first failure; the selection is cleared when all succeeded.
QCoro::Task<void> lockSelected(QPointer<BackupListView> list);
QCoro::Task<void> unlockSelected(QPointer<BackupListView> list);
// Every selected backup, stopping at the first failure (a locked one included); the selection is
// cleared in either case.
QCoro::Task<void> deleteSelected(QPointer<BackupListView> list);
// Every backup of the list in its order, stopping at the first failure; clears the selection.
QCoro::Task<void> deleteAll(QPointer<BackupListView> list);
void showInFinder(const QSet<Backup> &backups);

// Any failure as the error the alert shows.
BackupError errorFrom(std::exception_ptr failure);

} // namespace BackupActions

} // namespace KivBackups

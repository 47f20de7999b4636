#pragma once

#include "KivBackups/Backup.h"
#include "KivBackups/BackupError.h"
#include "KivBackups/BackupManager.h"

#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

#include <optional>

class QAction;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QToolButton;

namespace KivBackups {

class BackupRowView;

// The backups of one manager, one row per archive in the manager's order, with the actions on them:
// a context menu on each row, a pull-down menu ("Make Backup", "Delete", "Delete All") and "Restore"
// below the list. The list never reads the disk itself; it shows what the manager publishes, and
// every change goes through the manager.
//
// The state below is what the actions work on: the selection is the target of every action, a
// confirmation is shown while its flag is set (it clears the flag when it closes), and the error
// alert is shown while an error is set ("OK" clears it).
class BackupListView : public QWidget
{
    Q_OBJECT

public:
    // The manager must outlive the view. The restore message is the body of the restore
    // confirmation, already in the user's language.
    BackupListView(BackupManager &backupManager, QString restoreMessage, QWidget *parent = nullptr);
    ~BackupListView() override;

    // Null only when the manager has gone, which its owner must not let happen while the view exists.
    BackupManager *backupManager() const { return m_backupManager; }
    const QString &restoreMessage() const { return m_restoreMessage; }

    // The selected rows' backups. Setting it selects exactly those rows; backups the manager no
    // longer lists are left out.
    const QSet<Backup> &selectedBackups() const { return m_selectedBackups; }
    void setSelectedBackups(const QSet<Backup> &backups);

    // The last failed action. Setting one shows the error alert, once the current event is handled.
    const std::optional<BackupError> &error() const { return m_error; }
    void setError(std::optional<BackupError> error);

    bool isRestoreBackupActionActive() const { return m_isRestoreBackupActionActive; }
    void setRestoreBackupActionActive(bool active);
    bool isDeleteConfirmationVisible() const { return m_isDeleteConfirmationVisible; }
    void setDeleteConfirmationVisible(bool visible);
    bool isDeleteAllConfirmationVisible() const { return m_isDeleteAllConfirmationVisible; }
    void setDeleteAllConfirmationVisible(bool visible);

    // The context menu of a row: "Lock" or "Unlock" follows the clicked row's backup, while every
    // item acts on the whole selection.
    QMenu *makeContextMenu(const Backup &clicked, QWidget *parent = nullptr);

    QListWidget *list() const { return m_list; }
    QList<BackupRowView *> rows() const;
    QToolButton *menuButton() const { return m_menuButton; }
    QMenu *pullDownMenu() const { return m_pullDownMenu; }
    QPushButton *restoreButton() const { return m_restoreButton; }

signals:
    void selectedBackupsChanged();
    void errorChanged();
    void confirmationStateChanged();
    // An action started from the list has run to its end, successfully or not.
    void actionFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reloadRows();
    void showRows(const QList<Backup> &backups);
    void insertRow(int row, const Backup &backup);
    static Backup backupOf(const QListWidgetItem *item);
    void listSelectionChanged();
    void syncListSelection();
    void showContextMenu(const QPoint &position);
    enum class Confirmation { restore, deleteSelected, deleteAll };
    bool &confirmationFlag(Confirmation confirmation);
    void setConfirmationVisible(Confirmation confirmation, bool visible);
    void runConfirmation(Confirmation confirmation);
    void runErrorAlert();

    QPointer<BackupManager> m_backupManager;
    QString m_restoreMessage;
    QSet<Backup> m_selectedBackups;
    std::optional<BackupError> m_error;
    // Counts errors set, so an alert knows whether "OK" answered the error it showed.
    quint64 m_errorSerial = 0;
    bool m_isShowingError = false;
    bool m_isRestoreBackupActionActive = false;
    bool m_isDeleteConfirmationVisible = false;
    bool m_isDeleteAllConfirmationVisible = false;
    bool m_syncing = false;

    QListWidget *m_list;
    QToolButton *m_menuButton;
    QMenu *m_pullDownMenu;
    QPushButton *m_restoreButton;
    QAction *m_restoreAction;
};

} // namespace KivBackups

#pragma once

#include "KivApp/SettingsPage.h"

namespace KivBackups {
class BackupListView;
class BackupManager;
} // namespace KivBackups

// The "Backups" page of the settings window: the list of backup archives with their actions, over
// the main controller's one backup manager, so the page and the automatic backups see the same
// archives.
class SimpleBackupsSettingsView : public KivApp::SettingsPage
{
    Q_OBJECT

public:
    static constexpr int fixedHeight = 400;

    // The manager must outlive the page.
    explicit SimpleBackupsSettingsView(KivBackups::BackupManager &backupManager, QWidget *parent = nullptr);

    KivBackups::BackupManager &backupManager() const { return m_backupManager; }
    // The list, built with the page's content.
    KivBackups::BackupListView *backupListView();

    // The body of the restore confirmation.
    static QString restoreMessage();

private:
    QWidget *buildContent();

    KivBackups::BackupManager &m_backupManager;
    KivBackups::BackupListView *m_listView = nullptr;
};

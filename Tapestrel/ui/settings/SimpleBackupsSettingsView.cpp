#include "SimpleBackupsSettingsView.h"

#include "KivBackups/ui/BackupListView.h"

#include <QGroupBox>
#include <QVBoxLayout>

SimpleBackupsSettingsView::SimpleBackupsSettingsView(KivBackups::BackupManager &backupManager,
                                                     QWidget *parent)
    : KivApp::SettingsPage(
        {tr("Backups"), QStringLiteral("externaldrive.badge.timemachine")}, Kind::view,
        [this] { return buildContent(); }, parent)
    , m_backupManager(backupManager)
{
    setObjectName(QStringLiteral("SimpleBackupsSettingsView"));
    setFixedPageHeight(fixedHeight);
}

KivBackups::BackupListView *SimpleBackupsSettingsView::backupListView()
{
    content();
    return m_listView;
}

QWidget *SimpleBackupsSettingsView::buildContent()
{
    m_listView = new KivBackups::BackupListView(m_backupManager, restoreMessage());
    auto *box = new QGroupBox;
    box->setObjectName(QStringLiteral("BackupsGroupBox"));
    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    boxLayout->addWidget(m_listView);
    auto *padded = new QWidget;
    auto *layout = new QVBoxLayout(padded);
    layout->addWidget(box);
    return padded;
}

QString SimpleBackupsSettingsView::restoreMessage()
{
    return tr("All the current profiles will be overwritten. And before that, a new backup will be made, "
              "so you can always go back.");
}

#include "KivBackups/ui/BackupListView.h"

#include "KivApp/PullDownButton.h"
#include "KivApp/RoundedFrame.h"
#include "KivBackups/BackupManager.h"
#include "KivBackups/ui/BackupActions.h"
#include "KivBackups/ui/BackupRowView.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "platform/Alerts.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace KivBackups {

BackupListView::BackupListView(BackupManager &backupManager, QString restoreMessage, QWidget *parent)
    : QWidget(parent)
    , m_backupManager(&backupManager)
    , m_restoreMessage(std::move(restoreMessage))
    , m_list(new QListWidget)
    , m_menuButton(new KivApp::PullDownButton)
    , m_pullDownMenu(new QMenu(this))
    , m_restoreButton(new QPushButton)
{
    setObjectName(QStringLiteral("BackupListView"));

    m_list->setObjectName(QStringLiteral("BackupList"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setUniformItemSizes(true);
    m_list->setFrameShape(QFrame::NoFrame);
    // A right click opens the row's menu without touching the selection: the menu acts on the
    // selection, not on the clicked row.
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QWidget::customContextMenuRequested, this, &BackupListView::showContextMenu);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &BackupListView::listSelectionChanged);

    m_menuButton->setObjectName(QStringLiteral("BackupMenuButton"));
    KivUtilities::Symbols::apply(m_menuButton, QStringLiteral("ellipsis.circle"));
    m_menuButton->setMenu(m_pullDownMenu);
    m_menuButton->setFixedWidth(32);
    m_pullDownMenu->setObjectName(QStringLiteral("BackupPullDownMenu"));
    m_pullDownMenu->addAction(BackupActions::backupButton(this, m_pullDownMenu));
    m_pullDownMenu->addSeparator();
    QAction *deleteAction = BackupActions::deleteButton(this, m_pullDownMenu);
    // Delete with the command modifier, as on the desktop the design comes from, and this desktop's
    // own key for deleting what is selected.
    deleteAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Backspace), QKeySequence(Qt::Key_Delete)});
    deleteAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(deleteAction);
    m_pullDownMenu->addAction(deleteAction);
    m_pullDownMenu->addAction(BackupActions::deleteAllButton(this, m_pullDownMenu));

    m_restoreAction = BackupActions::restoreBackupButton(this, this);
    m_restoreButton->setObjectName(QStringLiteral("RestoreButton"));
    m_restoreButton->setText(m_restoreAction->text());
    m_restoreButton->setEnabled(m_restoreAction->isEnabled());
    connect(m_restoreAction, &QAction::changed, m_restoreButton,
            [this] { m_restoreButton->setEnabled(m_restoreAction->isEnabled()); });
    connect(m_restoreButton, &QPushButton::clicked, m_restoreAction, &QAction::trigger);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(m_menuButton);
    bar->addStretch(1);
    bar->addWidget(m_restoreButton);
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(20);
    layout->addWidget(new KivApp::RoundedFrame(m_list, 13, 6, true), 1);
    layout->addLayout(bar);

    connect(m_backupManager.data(), &BackupManager::backupsChanged, this, &BackupListView::reloadRows);
    reloadRows();
}

BackupListView::~BackupListView() = default;

void BackupListView::setSelectedBackups(const QSet<Backup> &backups)
{
    QSet<Backup> listed;
    if (m_backupManager) {
        for (const Backup &backup : m_backupManager->backups()) {
            if (backups.contains(backup))
                listed.insert(backup);
        }
    }
    const bool changed = listed != m_selectedBackups;
    m_selectedBackups = listed;
    syncListSelection();
    if (changed)
        emit selectedBackupsChanged();
}

void BackupListView::setError(std::optional<BackupError> error)
{
    m_error = std::move(error);
    ++m_errorSerial;
    emit errorChanged();
    if (m_error && !m_isShowingError)
        QTimer::singleShot(0, this, &BackupListView::runErrorAlert);
}

void BackupListView::setRestoreBackupActionActive(bool active)
{
    setConfirmationVisible(Confirmation::restore, active);
}

void BackupListView::setDeleteConfirmationVisible(bool visible)
{
    setConfirmationVisible(Confirmation::deleteSelected, visible);
}

void BackupListView::setDeleteAllConfirmationVisible(bool visible)
{
    setConfirmationVisible(Confirmation::deleteAll, visible);
}

bool &BackupListView::confirmationFlag(Confirmation confirmation)
{
    switch (confirmation) {
    case Confirmation::restore:
        return m_isRestoreBackupActionActive;
    case Confirmation::deleteSelected:
        return m_isDeleteConfirmationVisible;
    case Confirmation::deleteAll:
        break;
    }
    return m_isDeleteAllConfirmationVisible;
}

void BackupListView::setConfirmationVisible(Confirmation confirmation, bool visible)
{
    bool &flag = confirmationFlag(confirmation);
    if (flag == visible)
        return;
    flag = visible;
    emit confirmationStateChanged();
    // Shown once the event that raised it is handled, so a menu that asked has closed.
    if (visible)
        QTimer::singleShot(0, this, [this, confirmation] { runConfirmation(confirmation); });
}

QMenu *BackupListView::makeContextMenu(const Backup &clicked, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("BackupContextMenu"));
    menu->addAction(BackupActions::restoreBackupButton(this, menu));
    menu->addSeparator();
    menu->addAction(clicked.isLocked ? BackupActions::unlockButton(this, menu)
                                     : BackupActions::lockButton(this, menu));
    menu->addAction(BackupActions::deleteButton(this, menu));
    menu->addSeparator();
    menu->addAction(BackupActions::showInFinderButton(this, menu));
    return menu;
}

QList<BackupRowView *> BackupListView::rows() const
{
    QList<BackupRowView *> result;
    for (int row = 0; row < m_list->count(); ++row) {
        if (auto *view = qobject_cast<BackupRowView *>(m_list->itemWidget(m_list->item(row))))
            result.append(view);
    }
    return result;
}

bool BackupListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
                return true;
            break;
        case QEvent::MouseMove:
            if (static_cast<QMouseEvent *>(event)->buttons() == Qt::RightButton)
                return true;
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

Backup BackupListView::backupOf(const QListWidgetItem *item)
{
    return item ? item->data(Qt::UserRole).value<Backup>() : Backup();
}

void BackupListView::reloadRows()
{
    const QList<Backup> backups = m_backupManager ? m_backupManager->backups() : QList<Backup>();
    showRows(backups);
    // A backup that has gone, or changed into another value, is no longer selected.
    setSelectedBackups(m_selectedBackups);
}

void BackupListView::showRows(const QList<Backup> &backups)
{
    m_syncing = true;
    // Rows stay while their backup is listed unchanged, so the list keeps its place as backups come
    // and go.
    const QSet<Backup> wanted(backups.begin(), backups.end());
    for (int row = m_list->count() - 1; row >= 0; --row) {
        if (!wanted.contains(backupOf(m_list->item(row))))
            delete m_list->takeItem(row);
    }
    int row = 0;
    for (const Backup &backup : backups) {
        if (row >= m_list->count() || backupOf(m_list->item(row)) != backup)
            insertRow(row, backup);
        ++row;
    }
    if (m_list->count() != backups.size()) {
        // The kept rows were in another order (backups of the same second): start afresh.
        m_list->clear();
        for (int index = 0; index < backups.size(); ++index)
            insertRow(index, backups[index]);
    }
    m_syncing = false;
}

void BackupListView::insertRow(int row, const Backup &backup)
{
    auto *item = new QListWidgetItem;
    item->setData(Qt::UserRole, QVariant::fromValue(backup));
    auto *view = new BackupRowView(backup);
    item->setData(Qt::AccessibleTextRole, view->dateLabel()->text());
    item->setSizeHint(view->sizeHint());
    m_list->insertItem(row, item);
    m_list->setItemWidget(item, view);
}

void BackupListView::listSelectionChanged()
{
    if (m_syncing)
        return;
    QSet<Backup> chosen;
    for (const QListWidgetItem *item : m_list->selectedItems())
        chosen.insert(backupOf(item));
    for (BackupRowView *view : rows())
        view->setSelected(chosen.contains(view->backup()));
    if (chosen == m_selectedBackups)
        return;
    m_selectedBackups = chosen;
    emit selectedBackupsChanged();
}

void BackupListView::syncListSelection()
{
    m_syncing = true;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        const bool selected = m_selectedBackups.contains(backupOf(item));
        item->setSelected(selected);
        if (auto *view = qobject_cast<BackupRowView *>(m_list->itemWidget(item)))
            view->setSelected(selected);
    }
    m_syncing = false;
}

void BackupListView::showContextMenu(const QPoint &position)
{
    const QListWidgetItem *item = m_list->itemAt(position);
    if (!item)
        return;
    QMenu *menu = makeContextMenu(backupOf(item), this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_list->viewport()->mapToGlobal(position));
}

void BackupListView::runConfirmation(Confirmation confirmation)
{
    if (!confirmationFlag(confirmation))
        return;
    const QPointer<BackupListView> self(this);
    const Platform::Alert alert = confirmation == Confirmation::restore
        ? BackupActions::restoreConfirmation(m_restoreMessage)
        : (confirmation == Confirmation::deleteSelected ? BackupActions::deleteConfirmation()
                                                        : BackupActions::deleteAllConfirmation());
    const Platform::AlertResult answer = Platform::Alerts::run(alert, this);
    if (!self)
        return;
    setConfirmationVisible(confirmation, false);
    if (answer.button != 0)
        return;
    switch (confirmation) {
    case Confirmation::restore:
        KivUtilities::detached(BackupActions::restoreSelected(self), "Restoring a backup");
        break;
    case Confirmation::deleteSelected:
        KivUtilities::detached(BackupActions::deleteSelected(self), "Deleting backups");
        break;
    case Confirmation::deleteAll:
        KivUtilities::detached(BackupActions::deleteAll(self), "Deleting all backups");
        break;
    }
}

void BackupListView::runErrorAlert()
{
    if (m_isShowingError)
        return;
    const QPointer<BackupListView> self(this);
    m_isShowingError = true;
    // The alert stays until "OK" answers the error it shows; an error that came while it was open
    // is shown next.
    while (self && m_error) {
        const quint64 shown = m_errorSerial;
        Platform::Alerts::run(BackupActions::errorAlert(*m_error), this);
        if (self && m_errorSerial == shown)
            setError(std::nullopt);
    }
    if (self)
        m_isShowingError = false;
}

} // namespace KivBackups

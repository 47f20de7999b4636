#include "MainWindow.h"

#include "ProfileActionButtons.h"
#include "ProfileEditor.h"
#include "themelist/GenerateThemeListButton.h"

#include "KivApp/WindowRoom.h"
#include "KivUtilities/Symbols.h"
#include "KivUtilities/ToastViewModifier.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/NewProfileCommand.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileNames.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/model/ShowProfileNotification.h"
#include "platform/NotificationCenter.h"

#include <QCache>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QSet>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QString rowText(const Profile *profile)
{
    QString text = profile->name().isEmpty() ? MainWindow::tr("Untitled") : profile->name();
    if (profile->isLoading())
        text += MainWindow::tr(" — Loading…");
    else if (!profile->isEnabled())
        text += MainWindow::tr(" (disabled)");
    return text;
}

// The list lays every row out again whenever one is added, asking each row for its size, and
// measuring the text of a thousand rows each time made adding a profile cost as much as the whole
// list. Every row is one line of text in the list's own font, so its size follows from its text
// while the font and the style stay the same.
//
// The list also paints every row in view again when it scrolls or gains a row, which a new profile
// does, and laying out the text of each row again made that cost as much as the rows in view. A row
// that is painted a second time the same way is kept as a picture and copied from then on.
class ProfileRows : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QStyle *style = option.widget ? option.widget->style() : nullptr;
        if (option.font != m_font || style != m_style || option.state != m_state
            || option.features != m_features || option.decorationSize != m_decorationSize) {
            m_sizes.clear();
            m_rowSizes.clear();
            m_font = option.font;
            m_style = style;
            m_state = option.state;
            m_features = option.features;
            m_decorationSize = option.decorationSize;
        }
        // Each row's size is kept with its item until its text changes (forget()), so that laying
        // out the list does not read and hash the text of every row again.
        const auto *list = qobject_cast<const QListWidget *>(option.widget);
        const QListWidgetItem *item = list ? list->item(index.row()) : nullptr;
        if (const auto found = m_rowSizes.constFind(item); item && found != m_rowSizes.cend())
            return *found;
        const QString text = index.data(Qt::DisplayRole).toString();
        auto found = m_sizes.constFind(text);
        if (found == m_sizes.cend()) {
            if (m_sizes.size() >= maximumSizes)
                m_sizes.clear();
            found = m_sizes.insert(text, QStyledItemDelegate::sizeHint(option, index));
        }
        if (item) {
            if (m_rowSizes.size() >= maximumSizes)
                m_rowSizes.clear();
            m_rowSizes.insert(item, *found);
        }
        return *found;
    }

    // The item's text is about to change, or the item to go.
    void forget(const QListWidgetItem *item) { m_rowSizes.remove(item); }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem row = option;
        initStyleOption(&row, index);
        // The picture is laid on the list's own background, which must be one solid colour, and copied
        // pixel for pixel (no fractional scale, no opacity), for the copy to look the same as the row
        // painted in place.
        const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
        const QWidget *viewport = view ? view->viewport() : nullptr;
        const QBrush background = viewport ? viewport->palette().brush(viewport->backgroundRole()) : QBrush();
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        if (!viewport || !viewport->autoFillBackground() || background.style() != Qt::SolidPattern
            || !background.isOpaque() || row.backgroundBrush.style() != Qt::NoBrush || !row.icon.isNull()
            || row.rect.isEmpty() || painter->transform().type() > QTransform::TxTranslate
            || painter->opacity() < 1.0 || painter->compositionMode() != QPainter::CompositionMode_SourceOver
            || ratio != std::floor(ratio)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const RowKey key {row.text,
                          row.rect.size(),
                          row.state,
                          row.features,
                          row.palette.cacheKey(),
                          background.color().rgba(),
                          row.font,
                          view->style(),
                          ratio,
                          row.displayAlignment,
                          row.textElideMode,
                          row.direction,
                          row.viewItemPosition,
                          row.showDecorationSelected,
                          row.checkState};
        if (const QPixmap *picture = m_pictures.object(key)) {
            painter->drawPixmap(row.rect.topLeft(), *picture);
            return;
        }
        // The first time only remembered, so that a list painted once (at start) keeps no pictures.
        const size_t seen = qHash(key);
        if (!m_seen.contains(seen)) {
            if (m_seen.size() >= maximumSeen)
                m_seen.clear();
            m_seen.insert(seen);
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QPixmap picture(row.rect.size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(background.color());
        {
            QPainter onPicture(&picture);
            onPicture.setRenderHints(painter->renderHints());
            onPicture.setFont(painter->font());
            onPicture.setPen(painter->pen());
            onPicture.setBrush(painter->brush());
            onPicture.setLayoutDirection(painter->layoutDirection());
            QStyleOptionViewItem atOrigin = option;
            atOrigin.rect.moveTo(0, 0);
            QStyledItemDelegate::paint(&onPicture, atOrigin, index);
        }
        painter->drawPixmap(row.rect.topLeft(), picture);
        const qsizetype bytes = qsizetype(picture.width()) * picture.height() * picture.depth() / 8;
        m_pictures.insert(key, new QPixmap(picture), std::max<qsizetype>(1, bytes));
    }

private:
    // Everything the style paints a row from.
    struct RowKey
    {
        QString text;
        QSize size;
        QStyle::State state;
        QStyleOptionViewItem::ViewItemFeatures features;
        qint64 palette;
        QRgb background;
        QFont font;
        const QStyle *style;
        qreal ratio;
        Qt::Alignment alignment;
        Qt::TextElideMode elide;
        Qt::LayoutDirection direction;
        QStyleOptionViewItem::ViewItemPosition position;
        bool showDecorationSelected;
        Qt::CheckState checkState;

        bool operator==(const RowKey &) const = default;
        friend size_t qHash(const RowKey &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.text, key.size.width(), key.size.height(), int(key.state),
                              int(key.features), key.palette, key.background, key.font, quintptr(key.style),
                              key.ratio, int(key.alignment), int(key.elide), int(key.direction),
                              int(key.position), key.showDecorationSelected, int(key.checkState));
        }
    };

    static constexpr qsizetype maximumSizes = 20000;
    static constexpr qsizetype maximumSeen = 20000;
    static constexpr qsizetype maximumPictureBytes = 8 * 1024 * 1024;
    mutable QHash<QString, QSize> m_sizes;
    mutable QHash<const QListWidgetItem *, QSize> m_rowSizes;
    mutable QFont m_font;
    mutable const QStyle *m_style = nullptr;
    mutable QStyle::State m_state;
    mutable QStyleOptionViewItem::ViewItemFeatures m_features;
    mutable QSize m_decorationSize;
    mutable QCache<RowKey, QPixmap> m_pictures {maximumPictureBytes};
    mutable QSet<size_t> m_seen;
};

// Before a row's text changes or the row goes: its kept size is measured again or dropped.
void forgetRowSize(QListWidget *list, QListWidgetItem *item)
{
    if (auto *rows = dynamic_cast<ProfileRows *>(list->itemDelegate()))
        rows->forget(item);
}

// The list of profiles. An item view frames its current row; taking the keyboard, it makes the
// first row current, which framed a row at start while nothing was chosen.
class ProfileList : public QListWidget
{
public:
    using QListWidget::QListWidget;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QListWidget::focusInEvent(event);
        if (selectionModel()->selection().isEmpty())
            selectionModel()->clearCurrentIndex();
    }
};

} // namespace

MainWindow::MainWindow(SelectionModel *selection, ModelContext *context, Defaults *defaults,
                       SynchronizedOptionsStore *store, AppConfigStore *configs, QWidget *parent)
    : QWidget(parent)
    , m_selection(selection)
    , m_context(context)
    , m_defaults(defaults)
    , m_store(store)
    , m_configs(configs)
    , m_list(new ProfileList)
    , m_detail(new QStackedWidget)
    , m_placeholder(new QLabel)
{
    setObjectName(QStringLiteral("MainWindow"));
    setProperty("windowId", windowId);
    setWindowTitle(tr("Tapestrel"));
    resize(defaultSize);

    m_list->setObjectName(QStringLiteral("ProfileList"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setItemDelegate(new ProfileRows(m_list));
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu *menu = makeContextMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_list->viewport()->mapToGlobal(pos));
    });
    connect(m_list, &QListWidget::itemSelectionChanged, this, &MainWindow::listSelectionChanged);

    auto *addButton = new QToolButton;
    addButton->setObjectName(QStringLiteral("NewProfileButton"));
    addButton->setDefaultAction(
        ProfileActionButtons::newProfileButton(this, [this] { promptForNewProfile(); }));
    addButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    auto *side = new QWidget;
    auto *sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(m_list);
    sideLayout->addWidget(addButton, 0, Qt::AlignLeft);

    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setEnabled(false);
    m_detail->addWidget(m_placeholder);

    auto *splitter = new QSplitter;
    splitter->addWidget(side);
    splitter->addWidget(m_detail);
    splitter->setStretchFactor(1, 1);
    // Neither side folds away: the window is never smaller than the list and the editor need.
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({200, 520});
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(splitter);

    KivUtilities::toastOverlay(this);

    if (m_context)
        connect(m_context.data(), &ModelContext::profilesChanged, this, &MainWindow::reloadProfiles);
    if (m_selection)
        connect(m_selection.data(), &SelectionModel::selectedProfilesChanged, this,
                &MainWindow::selectionModelChanged);
    connect(&Platform::NotificationCenter::defaultCenter(), &Platform::NotificationCenter::posted, this,
            [this](const QString &name, const QVariantMap &userInfo) {
                if (name == ShowProfileNotification::name)
                    showProfile(userInfo.value(ShowProfileNotification::idKey).toString());
            });

    reloadProfiles();
}

void MainWindow::reloadProfiles()
{
    if (!m_context)
        return;
    QList<Profile *> profiles;
    try {
        profiles = m_context->fetchProfiles();
    } catch (const std::exception &error) {
        qWarning("Reading the profiles failed: %s", error.what());
    }
    profiles.removeIf([](Profile *profile) { return profile->isDeleted(); });
    m_syncing = true;
    // Rows that stay where they were keep their items, whose texts the profiles' own signals keep
    // current: most changes (an option added, a save, a new profile at the end) leave the list as it
    // was or add to its end, and rebuilding every row made each of them cost as much as the whole list.
    qsizetype kept = 0;
    // Rows compare by address, one list of addresses side by side in memory rather than a thousand
    // weak pointers each in its own place; a row whose profile was destroyed has none.
    while (kept < profiles.size() && kept < m_rows.size() && m_rows[kept] == profiles[kept]
           && kept < m_list->count())
        ++kept;
    while (m_list->count() > kept) {
        QListWidgetItem *item = m_list->item(m_list->count() - 1);
        forgetRowSize(m_list, item);
        delete m_list->takeItem(m_list->count() - 1);
    }
    for (qsizetype row = kept; row < m_rows.size(); ++row) {
        if (m_rowOf.value(m_rows[row], -1) == row)
            m_rowOf.remove(m_rows[row]);
    }
    m_rows.resize(kept);
    for (qsizetype row = kept; row < profiles.size(); ++row) {
        Profile *profile = profiles[row];
        auto *item = new QListWidgetItem(rowText(profile), m_list);
        item->setData(Qt::UserRole, profile->uuid());
        m_rows.append(profile);
        m_rowOf.insert(profile, row);
        for (auto signal : {&Profile::nameChanged, &Profile::isLoadingChanged, &Profile::isEnabledChanged,
                            &Profile::uuidChanged})
            connect(profile, signal, this, &MainWindow::profileChanged, Qt::UniqueConnection);
        connect(profile, &QObject::destroyed, this, &MainWindow::rowProfileDestroyed, Qt::UniqueConnection);
    }
    m_syncing = false;
    if (m_selection) {
        // A profile that left the store elsewhere (a restore replaced it, another context deleted
        // it) leaves the selection too, so no command acts on it later.
        const auto shown = [this](SelectionModel::Selection chosen) {
            chosen.removeIf([this](Profile *profile) { return rowOf(profile) < 0; });
            return chosen;
        };
        m_selection->setSelectedProfilesForDeletion(shown(m_selection->selectedProfilesForDeletion()));
        const SelectionModel::Selection kept = shown(m_selection->selectedProfiles());
        if (kept != m_selection->selectedProfiles()) {
            m_selection->setSelectedProfiles(kept); // syncs the list through selectionModelChanged
            return;
        }
    }
    selectionModelChanged();
}

Profile *MainWindow::profileAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? static_cast<Profile *>(m_rows[row]) : nullptr;
}

int MainWindow::rowOf(const Profile *profile) const
{
    // An entry can outlive its profile until the next reload; the row's own pointer tells.
    const int row = int(m_rowOf.value(profile, -1));
    return profile && row < m_list->count() && profileAt(row) == profile ? row : -1;
}

void MainWindow::rowProfileDestroyed(QObject *object)
{
    // The row keeps no pointer to it and its entry goes, since a new profile may be given the same
    // address.
    const qsizetype row = m_rowOf.value(object, -1);
    if (row >= 0 && row < m_rows.size() && m_rows[row] == object)
        m_rows[row] = nullptr;
    m_rowOf.remove(object);
}

void MainWindow::profileChanged()
{
    auto *profile = qobject_cast<Profile *>(sender());
    const int row = rowOf(profile);
    if (row < 0)
        return;
    QListWidgetItem *item = m_list->item(row);
    if (const QString text = rowText(profile); text != item->text()) {
        forgetRowSize(m_list, item);
        item->setText(text);
    }
    if (item->data(Qt::UserRole).toString() != profile->uuid())
        item->setData(Qt::UserRole, profile->uuid());
}

void MainWindow::listSelectionChanged()
{
    if (m_syncing || !m_selection)
        return;
    SelectionModel::Selection chosen;
    for (QListWidgetItem *item : m_list->selectedItems()) {
        if (Profile *profile = profileAt(m_list->row(item)))
            chosen.insert(profile);
    }
    m_selection->setSelectedProfiles(chosen);
    followSelectionWithCurrentRow();
    updateEditor();
}

void MainWindow::followSelectionWithCurrentRow()
{
    // The frame of the current row must never mark a row other than the chosen ones: it moves to the
    // lowest selected row (the one scrolled into view), or goes when nothing is selected. A current
    // row that is itself selected stays where the user put it.
    QItemSelectionModel *model = m_list->selectionModel();
    const QModelIndex current = model->currentIndex();
    if (current.isValid() && model->isSelected(current))
        return;
    const QModelIndexList chosen = model->selectedIndexes();
    if (chosen.isEmpty()) {
        model->clearCurrentIndex();
        return;
    }
    const QModelIndex lowest =
        *std::max_element(chosen.begin(), chosen.end(),
                          [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    model->setCurrentIndex(lowest, QItemSelectionModel::NoUpdate);
}

void MainWindow::selectionModelChanged()
{
    if (!m_selection)
        return;
    const SelectionModel::Selection chosen = m_selection->selectedProfiles();
    m_syncing = true;
    // Only the rows that are or become selected are visited, not the whole list.
    const QModelIndexList shown = m_list->selectionModel()->selectedIndexes();
    for (const QModelIndex &index : shown) {
        Profile *profile = profileAt(index.row());
        if (!profile || !chosen.contains(profile))
            m_list->item(index.row())->setSelected(false);
    }
    QList<int> rows;
    for (Profile *profile : chosen) {
        if (const int row = rowOf(profile); row >= 0)
            rows.append(row);
    }
    // Top to bottom, so that the lowest selected row is the one left in view.
    std::sort(rows.begin(), rows.end());
    for (const int row : std::as_const(rows)) {
        QListWidgetItem *item = m_list->item(row);
        if (!item->isSelected())
            item->setSelected(true);
        m_list->scrollToItem(item);
    }
    followSelectionWithCurrentRow();
    m_syncing = false;
    updateEditor();
}

void MainWindow::updateEditor()
{
    if (m_buildingEditor) {
        m_editorOutdated = true;
        return;
    }
    Profile *profile =
        m_selection ? ProfileActionButtons::singleProfile(m_selection->selectedProfiles()) : nullptr;
    if (profile && profile == m_editedProfile && m_editor)
        return;
    if (m_editor) {
        m_detail->removeWidget(m_editor);
        m_editor->deleteLater();
        m_editor = nullptr;
    }
    m_editedProfile = profile;
    if (!profile) {
        const qsizetype count = m_selection ? m_selection->selectedProfiles().size() : 0;
        m_placeholder->setText(count > 1 ? tr("%n profiles selected", nullptr, int(count))
                                         : tr("Select a profile to edit it."));
        m_detail->setCurrentWidget(m_placeholder);
        return;
    }
    // Building the editor gives the profile the options its rows need; each insert reloads the list,
    // which must not start a second editor meanwhile (it would be left behind in the stack).
    m_buildingEditor = true;
    auto *editor = new ProfileEditor(profile, m_defaults, m_store, m_configs);
    m_buildingEditor = false;
    m_editor = editor;
    m_detail->addWidget(m_editor);
    m_detail->setCurrentWidget(m_editor);
    if (m_editorOutdated) {
        // The selection changed while the editor was built.
        m_editorOutdated = false;
        updateEditor();
    }
}

QMenu *MainWindow::makeContextMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("ProfileContextMenu"));
    const SelectionModel::Selection chosen =
        m_selection ? m_selection->selectedProfiles() : SelectionModel::Selection();
    // Shown for every selection, enabled only for a single profile.
    menu->addAction(
        ProfileActionButtons::applyProfileButton(ProfileActionButtons::singleProfile(chosen), menu));
    menu->addAction(ProfileActionButtons::duplicateButton(m_context, chosen, menu));
    menu->addSeparator();
    menu->addAction(ProfileActionButtons::isProfileEnabledToggle(chosen, menu));
    menu->addAction(ProfileActionButtons::deleteButton(m_selection, chosen, menu, [this] {
        // After the menu has closed.
        QTimer::singleShot(0, this, &MainWindow::confirmDeletion);
    }));
    menu->addSeparator();
    menu->addMenu(GenerateThemeListButton::make(ProfileActionButtons::singleProfile(chosen), menu));
    return menu;
}

void MainWindow::fitInto(const QRect &room)
{
    const QRect frame = KivApp::WindowRoom::frame(defaultSize, room, KivApp::WindowRoom::titleBar);
    resize(frame.size().shrunkBy(KivApp::WindowRoom::titleBar));
    move(frame.topLeft());
}

void MainWindow::setMenuBar(QMenuBar *menuBar)
{
    layout()->setMenuBar(menuBar);
}

bool MainWindow::showProfile(const QString &uuid)
{
    if (!m_context || !m_selection || uuid.isEmpty())
        return false;
    for (int row = 0; row < m_list->count(); ++row) {
        Profile *profile = profileAt(row);
        if (profile && profile->uuid() == uuid) {
            m_selection->setSelectedProfiles({profile});
            return true;
        }
    }
    return false;
}

void MainWindow::promptForNewProfile()
{
    QInputDialog dialog(this);
    dialog.setWindowTitle(tr("New Profile"));
    dialog.setLabelText(tr("Profile name:"));
    dialog.setInputMode(QInputDialog::TextInput);
    if (auto *field = dialog.findChild<QLineEdit *>())
        field->setMaxLength(int(ProfileNames::maximumLength));
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const QString name = dialog.textValue().trimmed();
    if (!accepted || name.isEmpty() || !m_context)
        return;
    NewProfileCommand(m_selection, m_context, name, true).execute();
}

void MainWindow::confirmDeletion()
{
    if (m_selection && !m_selection->selectedProfilesForDeletion().isEmpty())
        DeleteConfirmation::run(m_selection, m_context, this);
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        emit firstPainted();
    }
}

#include "Tapestrel/ui/settings/DisabledOptionsView.h"

#include "KivApp/RoundedFrame.h"
#include "KivUtilities/Symbols.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/ui/settings/AddMenuButton.h"
#include "Tapestrel/ui/settings/OptionPath.h"
#include "Tapestrel/widgets/TextStyle.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int idRole = Qt::UserRole;

} // namespace

DisabledOptionsView::DisabledOptionsView(SynchronizedOptionsStore *store, OptionStore *options,
                                         QWidget *parent)
    : KivApp::SettingsPage(
        {tr("Disabled Options"), QStringLiteral("nosign")}, Kind::view, [this] { return build(); }, parent)
    , m_store(store)
    , m_options(options)
{
    setObjectName(QStringLiteral("DisabledOptionsView"));
    setFixedPageHeight(fixedHeight);
}

OptionStore &DisabledOptionsView::registry() const
{
    return m_options ? *m_options : OptionStore::shared();
}

QStringList DisabledOptionsView::displayPath(const QString &id) const
{
    if (OptionModel *model = registry().model(id))
        return model->displayPath();
    return {};
}

QWidget *DisabledOptionsView::build()
{
    auto *outer = new QWidget;
    auto *outerLayout = new QVBoxLayout(outer);
    outerLayout->setContentsMargins(12, 12, 12, 12);
    auto *box = new QFrame;
    box->setObjectName(QStringLiteral("GroupBox"));
    box->setFrameShape(QFrame::StyledPanel);
    box->setAutoFillBackground(true);
    box->setBackgroundRole(QPalette::AlternateBase);
    outerLayout->addWidget(box);

    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(20);

    m_empty = new QWidget;
    auto *emptyLayout = new QVBoxLayout(m_empty);
    emptyLayout->setContentsMargins(0, 0, 0, 0);
    m_emptyText = new QLabel(tr("Here you can define options that Tapestrel will never modify.\nYou can also "
                                "exclude individual options per profile from the context menu."));
    m_emptyText->setAlignment(Qt::AlignCenter);
    m_emptyText->setWordWrap(true);
    TextStyle::apply(m_emptyText, TextStyle::Level::tertiary);
    emptyLayout->addStretch(1);
    // The whole width of the box: a wrapped label that the layout aligns gets the height of its
    // narrower hint, and its lines are cut.
    emptyLayout->addWidget(m_emptyText);
    emptyLayout->addStretch(1);
    layout->addWidget(m_empty, 1);

    m_list = new QListWidget;
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    layout->addWidget(new KivApp::RoundedFrame(m_list, 13, 4, false), 1);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &DisabledOptionsView::takeSelectionFromList);

    m_removeButton = new QToolButton;
    m_removeButton->setText(tr("Remove"));
    m_removeButton->setToolTip(tr("Remove"));
    m_removeButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    KivUtilities::Symbols::apply(m_removeButton, QStringLiteral("trash"));
    m_removeButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace));
    connect(m_removeButton, &QToolButton::clicked, this, &DisabledOptionsView::removeSelected);

    m_addButton = makeAddMenuButton(&m_addMenu);
    // Filled each time it opens, so it offers exactly the options that are not listed then.
    connect(m_addMenu, &QMenu::aboutToShow, this, &DisabledOptionsView::fillAddMenu);

    auto *footer = new QHBoxLayout;
    footer->addWidget(m_removeButton);
    footer->addStretch(1);
    footer->addWidget(m_addButton);
    layout->addLayout(footer);

    if (m_store)
        connect(m_store, &SynchronizedOptionsStore::disabledOptionsIDsChanged, this,
                &DisabledOptionsView::reload);
    reload();
    fillAddMenu();
    return outer;
}

void DisabledOptionsView::reload()
{
    if (!m_list)
        return;
    const QStringList ids = m_store ? m_store->disabledOptionsIDs() : QStringList();
    // Rows that left the list leave the selection too, so the remove button never acts on, or
    // stays enabled for, something the user no longer sees.
    QSet<QString> kept;
    for (const QString &id : m_selection) {
        if (ids.contains(id))
            kept.insert(id);
    }
    m_selection = kept;

    m_reloading = true;
    m_list->clear();
    for (const QString &id : ids) {
        auto *item = new QListWidgetItem;
        item->setData(idRole, id);
        const QStringList path = displayPath(id);
        // An identifier that no registered option has (listed by another version of the program)
        // is shown as it is.
        item->setText(path.isEmpty() ? id : OptionPath::plainText(path));
        m_list->addItem(item);
        if (!path.isEmpty()) {
            auto *label = new OptionPath(path);
            label->setContentsMargins(4, 0, 4, 0);
            item->setData(Qt::ForegroundRole, QColor(Qt::transparent));
            m_list->setItemWidget(item, label);
        }
        item->setSelected(m_selection.contains(id));
    }
    m_reloading = false;

    const bool empty = ids.isEmpty();
    m_empty->setVisible(empty);
    m_list->setVisible(!empty);
    m_removeButton->setEnabled(!m_selection.isEmpty());
}

void DisabledOptionsView::takeSelectionFromList()
{
    if (m_reloading)
        return;
    QSet<QString> selected;
    for (const QListWidgetItem *item : m_list->selectedItems())
        selected.insert(item->data(idRole).toString());
    m_selection = selected;
    m_removeButton->setEnabled(!m_selection.isEmpty());
}

void DisabledOptionsView::setSelection(const QSet<QString> &ids)
{
    content();
    m_selection = ids;
    m_reloading = true;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        item->setSelected(ids.contains(item->data(idRole).toString()));
    }
    m_reloading = false;
    m_removeButton->setEnabled(!m_selection.isEmpty());
}

QStringList DisabledOptionsView::offeredOptions() const
{
    const QStringList listed = m_store ? m_store->disabledOptionsIDs() : QStringList();
    QList<OptionModel *> offered;
    for (OptionModel *model : registry().options()) {
        if (!listed.contains(model->key()))
            offered.append(model);
    }
    // By the path's components joined with ",", compared code unit by code unit, so "System,Background"
    // follows every "System,Appearance,…" and capitals sort before small letters.
    std::stable_sort(offered.begin(), offered.end(), [](OptionModel *a, OptionModel *b) {
        return QString::compare(a->displayPath().join(QLatin1Char(',')),
                                b->displayPath().join(QLatin1Char(',')), Qt::CaseSensitive)
            < 0;
    });
    QStringList ids;
    for (OptionModel *model : offered)
        ids.append(model->key());
    return ids;
}

void DisabledOptionsView::fillAddMenu()
{
    if (!m_addMenu)
        return;
    m_addMenu->clear();
    for (const QString &id : offeredOptions()) {
        QAction *action = m_addMenu->addAction(menuItemText(OptionPath::plainText(displayPath(id))));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { addOption(id); });
    }
}

void DisabledOptionsView::addOption(const QString &id)
{
    if (!m_store)
        return;
    QStringList ids = m_store->disabledOptionsIDs();
    ids.append(id);
    m_store->setDisabledOptionsIDs(ids);
}

void DisabledOptionsView::removeSelected()
{
    if (!m_store || m_selection.isEmpty())
        return;
    QStringList ids = m_store->disabledOptionsIDs();
    ids.removeIf([this](const QString &id) { return m_selection.contains(id); });
    if (ids != m_store->disabledOptionsIDs())
        m_store->setDisabledOptionsIDs(ids);
}

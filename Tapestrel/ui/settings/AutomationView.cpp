#include "Tapestrel/ui/settings/AutomationView.h"

#include "KivUtilities/Symbols.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileNameOrder.h"
#include "Tapestrel/model/ProfileRepository.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/ui/settings/AddMenuButton.h"
#include "Tapestrel/ui/settings/ScheduledProfileRow.h"
#include "Tapestrel/widgets/TextStyle.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QUuid>
#include <QVBoxLayout>

#include <algorithm>

AutomationView::AutomationView(SynchronizedOptionsStore *store, ModelContext *context, QWidget *parent)
    : AutomationView(
        store, [held = QPointer<ModelContext>(context)]() -> ModelContext * { return held; }, parent)
{ }

AutomationView::AutomationView(SynchronizedOptionsStore *store, ContextSource context, QWidget *parent)
    : KivApp::SettingsPage(
        {tr("Automation"), QStringLiteral("gearshape.arrow.triangle.2.circlepath")}, Kind::form,
        [this] { return build(); }, parent)
    , m_store(store)
    , m_contextSource(std::move(context))
    , m_clock([] { return QDateTime::currentDateTime(); })
{
    setObjectName(QStringLiteral("AutomationView"));
    setFixedPageHeight(fixedHeight);
}

ModelContext *AutomationView::context()
{
    ModelContext *current = m_contextSource ? m_contextSource() : nullptr;
    if (current != m_context) {
        disconnect(m_contextConnection);
        m_context = current;
        // A profile that is added, deleted, renamed, enabled or disabled changes what the rows say.
        if (current)
            m_contextConnection =
                connect(current, &ModelContext::objectsChanged, this, &AutomationView::scheduleRebuild);
    }
    return current;
}

void AutomationView::showEvent(QShowEvent *event)
{
    KivApp::SettingsPage::showEvent(event);
    scheduleRebuild();
}

QList<ScheduledProfile> AutomationView::sorted(QList<ScheduledProfile> entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ScheduledProfile &a, const ScheduledProfile &b) {
                         return a.hour < b.hour || (a.hour == b.hour && a.minute < b.minute);
                     });
    return entries;
}

QWidget *AutomationView::build()
{
    auto *section = new QWidget;
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *title = new QLabel(tr("Scheduled Profiles"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto *subtitle = new QLabel(tr("Schedule profiles to be applied automatically at specific times."));
    subtitle->setWordWrap(true);
    TextStyle::apply(subtitle, TextStyle::Level::secondary);
    TextStyle::makeCaption(subtitle);
    layout->addWidget(title);
    layout->addWidget(subtitle);

    m_emptyText = new QLabel(tr("No scheduled profiles yet. To add one click Add button."));
    m_emptyText->setWordWrap(true);
    m_emptyText->setContentsMargins(8, 8, 8, 8);
    TextStyle::apply(m_emptyText, TextStyle::Level::tertiary);
    layout->addWidget(m_emptyText);

    m_list = new QScrollArea;
    m_list->setWidgetResizable(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rowsHolder = new QWidget;
    m_rowsLayout = new QVBoxLayout(m_rowsHolder);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(2);
    m_rowsLayout->addStretch(1);
    m_list->setWidget(m_rowsHolder);
    layout->addWidget(m_list, 1);

    m_addButton = makeAddMenuButton(&m_addMenu);
    // Filled each time it opens, so it offers the profiles as they are then.
    connect(m_addMenu, &QMenu::aboutToShow, this, &AutomationView::fillAddMenu);
    auto *footer = new QHBoxLayout;
    footer->addStretch(1);
    footer->addWidget(m_addButton);
    layout->addLayout(footer);

    if (m_store)
        connect(m_store, &SynchronizedOptionsStore::scheduledProfilesChanged, this, &AutomationView::rebuild);
    rebuild();
    fillAddMenu();
    return section;
}

QList<Profile *> AutomationView::addableProfiles()
{
    QList<Profile *> profiles;
    ModelContext *current = context();
    if (!current)
        return profiles;
    try {
        profiles = current->fetchProfiles();
    } catch (const std::exception &error) {
        qWarning() << "The schedule could not read the profiles:" << error.what();
    }
    profiles.removeIf([](Profile *profile) { return !profile->isEnabled(); });
    sortProfilesByName(profiles);
    return profiles;
}

void AutomationView::fillAddMenu()
{
    if (!m_addMenu)
        return;
    m_addMenu->clear();
    for (Profile *profile : addableProfiles()) {
        QAction *action = m_addMenu->addAction(menuItemText(profile->name()));
        const QPointer<Profile> chosen(profile);
        connect(action, &QAction::triggered, this, [this, chosen] {
            if (chosen)
                add(chosen);
        });
    }
}

void AutomationView::add(Profile *profile)
{
    if (!m_store || !profile)
        return;
    // One reading of the clock for both fields, so an entry added at 09:59:59.9 cannot get 09:00.
    const QTime now = m_clock().time();
    ScheduledProfile entry;
    entry.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    entry.profileID = profile->uuid();
    entry.hour = now.hour();
    entry.minute = now.minute();
    entry.isEnabled = true;
    m_editingID = entry.id;
    QList<ScheduledProfile> entries = m_store->scheduledProfiles();
    entries.append(entry);
    m_store->setScheduledProfiles(entries);
}

void AutomationView::scheduleRebuild()
{
    // A save or an import announces many changes at once: one rebuild after them is enough.
    if (m_rebuildPending)
        return;
    m_rebuildPending = true;
    QTimer::singleShot(0, this, [this] {
        m_rebuildPending = false;
        rebuild();
    });
}

void AutomationView::rebuild()
{
    if (!m_rowsLayout)
        return;
    for (const auto &connection : std::as_const(m_profileConnections))
        disconnect(connection);
    m_profileConnections.clear();

    const QList<ScheduledProfile> entries =
        sorted(m_store ? m_store->scheduledProfiles() : QList<ScheduledProfile>());
    ProfileRepository repository(context());

    // Rows are kept by entry id, so a row keeps its open time editor when a new time moves it.
    QList<ScheduledProfileRow *> previous = m_rows;
    QList<ScheduledProfileRow *> rows;
    ScheduledProfileRow *added = nullptr;
    for (const ScheduledProfile &entry : entries) {
        ScheduledProfileRow::ProfileInfo info;
        try {
            if (Profile *profile = repository.profile(entry.profileID)) {
                info = {profile->name(), profile->isEnabled()};
                m_profileConnections.append(
                    connect(profile, &Profile::nameChanged, this, &AutomationView::scheduleRebuild));
                m_profileConnections.append(
                    connect(profile, &Profile::isEnabledChanged, this, &AutomationView::scheduleRebuild));
            }
        } catch (const std::exception &error) {
            // Shown as a profile that does not exist; the entry stays until the user removes it.
            qWarning() << "The schedule could not look up a profile:" << error.what();
        }
        auto found = std::find_if(previous.begin(), previous.end(),
                                  [&entry](ScheduledProfileRow *row) { return row->entryID() == entry.id; });
        if (found != previous.end()) {
            (*found)->update(entry, info);
            rows.append(*found);
            previous.erase(found);
        } else {
            const bool editing = m_editingID.has_value() && *m_editingID == entry.id;
            auto *row = new ScheduledProfileRow(entry, m_store, info, editing);
            row->setOnEditingComplete([this] { m_editingID.reset(); });
            rows.append(row);
            if (editing)
                added = row;
        }
    }
    for (ScheduledProfileRow *gone : std::as_const(previous)) {
        // The row may be in the middle of its own action (its removal alert): it goes later.
        m_rowsLayout->removeWidget(gone);
        gone->hide();
        gone->deleteLater();
    }
    // The time being set stays in view: a new entry's row, whose time is set at once, and a row whose
    // new time moved it with its editor open (the one with the keyboard focus, when several are open).
    ScheduledProfileRow *kept = added;
    for (int index = 0; index < rows.size() && !added; ++index) {
        ScheduledProfileRow *row = rows[index];
        if (row->isEditingTime() && m_rows.indexOf(row) != index
            && (!kept || row->isAncestorOf(QApplication::focusWidget())))
            kept = row;
    }
    for (int index = 0; index < rows.size(); ++index)
        m_rowsLayout->insertWidget(index, rows[index]);
    m_rows = rows;

    m_emptyText->setVisible(entries.isEmpty());
    m_list->setVisible(!entries.isEmpty());
    // The row is scrolled into the page's small list. The list makes room for it first, as its next
    // layout pass would: the rows are placed, then the list sizes what it scrolls to them.
    if (kept) {
        QTimer::singleShot(0, kept, [this, kept] {
            m_rowsLayout->activate();
            QEvent layoutRequest(QEvent::LayoutRequest);
            QCoreApplication::sendEvent(m_list, &layoutRequest);
            m_list->ensureWidgetVisible(kept, 0, 0);
        });
    }
}

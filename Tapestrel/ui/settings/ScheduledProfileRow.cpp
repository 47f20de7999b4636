#include "Tapestrel/ui/settings/ScheduledProfileRow.h"

#include "KivUtilities/Symbols.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/ui/TimeLabel.h"
#include "Tapestrel/widgets/ColorLabel.h"
#include "Tapestrel/widgets/TextStyle.h"
#include "platform/Alerts.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>

#include <algorithm>

ScheduledProfileRow::ScheduledProfileRow(const ScheduledProfile &entry, SynchronizedOptionsStore *store,
                                         ProfileInfo profile, bool isEditingTime, QWidget *parent)
    : QWidget(parent)
    , m_entry(entry)
    , m_store(store)
    , m_profile(std::move(profile))
    , m_inner(new QWidget(this))
    , m_time(new TimeLabel(int(entry.hour), int(entry.minute)))
    , m_name(new QLabel)
    , m_disabledTag(new ColorLabel(tr("Profile is disabled"), QColor(Qt::red)))
    , m_missing(new QLabel(tr("Profile does not exist")))
{
    setObjectName(QStringLiteral("ScheduledProfileRow"));
    // Fixed, so that the list does not jump when a time editor opens or closes.
    setFixedHeight(rowHeight);
    m_name->setTextFormat(Qt::PlainText);
    TextStyle::apply(m_missing, TextStyle::Level::tertiary);

    auto *inner = new QHBoxLayout(m_inner);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(m_time, 0, Qt::AlignVCenter);
    inner->addWidget(m_name, 0, Qt::AlignVCenter);
    inner->addWidget(m_disabledTag, 0, Qt::AlignVCenter);
    inner->addWidget(m_missing, 0, Qt::AlignVCenter);
    inner->addStretch(1);

    connect(m_time, &TimeLabel::hourChanged, this, [this](int hour) {
        ScheduledProfile changed = this->entry();
        changed.hour = hour;
        write(changed);
    });
    connect(m_time, &TimeLabel::minuteChanged, this, [this](int minute) {
        ScheduledProfile changed = this->entry();
        changed.minute = minute;
        write(changed);
    });
    m_time->setEditing(isEditingTime);
    refresh();
}

QSize ScheduledProfileRow::sizeHint() const
{
    return {m_inner->sizeHint().width() + 2 * sideMargin, rowHeight};
}

QSize ScheduledProfileRow::minimumSizeHint() const
{
    return {m_inner->minimumSizeHint().width() + 2 * sideMargin, rowHeight};
}

bool ScheduledProfileRow::event(QEvent *event)
{
    // The contents asked for other room (the time editor opened or closed, a tag came or went), also
    // while the row was hidden.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) {
        placeContents();
        updateGeometry();
    }
    return QWidget::event(event);
}

void ScheduledProfileRow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeContents();
}

void ScheduledProfileRow::placeContents()
{
    // Centred in the row's fixed height, the contents take the height they need: at a font too large
    // for the row they are cut evenly at the top and bottom, never pushed down into the next row.
    const int height = std::max(rowHeight, m_inner->minimumSizeHint().height());
    m_inner->setGeometry(sideMargin, (rowHeight - height) / 2, width() - 2 * sideMargin, height);
}

ScheduledProfile ScheduledProfileRow::entry() const
{
    if (m_store) {
        for (const ScheduledProfile &stored : m_store->scheduledProfiles()) {
            if (stored.id == m_entry.id)
                return stored;
        }
    }
    return m_entry;
}

void ScheduledProfileRow::write(const ScheduledProfile &value)
{
    if (!m_store)
        return;
    QList<ScheduledProfile> entries = m_store->scheduledProfiles();
    for (ScheduledProfile &stored : entries) {
        if (stored.id == m_entry.id) {
            stored = value;
            m_store->setScheduledProfiles(entries);
            return;
        }
    }
}

void ScheduledProfileRow::update(const ScheduledProfile &entry, ProfileInfo profile)
{
    m_entry = entry;
    m_profile = std::move(profile);
    refresh();
}

void ScheduledProfileRow::setOnEditingComplete(std::function<void()> onComplete)
{
    m_time->setOnComplete(std::move(onComplete));
}

bool ScheduledProfileRow::isEditingTime() const
{
    return m_time->isEditing();
}

bool ScheduledProfileRow::isDimmed() const
{
    return m_inner->graphicsEffect() != nullptr;
}

void ScheduledProfileRow::refresh()
{
    m_time->setHour(int(m_entry.hour));
    m_time->setMinute(int(m_entry.minute));
    m_name->setText(m_profile.name.value_or(QString()));
    m_name->setVisible(m_profile.name.has_value());
    m_disabledTag->setVisible(m_profile.name.has_value() && !m_profile.isEnabled);
    m_missing->setVisible(!m_profile.name.has_value());
    if (m_entry.isEnabled) {
        m_inner->setGraphicsEffect(nullptr);
    } else if (!m_inner->graphicsEffect()) {
        auto *faded = new QGraphicsOpacityEffect(m_inner);
        faded->setOpacity(0.35);
        m_inner->setGraphicsEffect(faded);
    }
}

QMenu *ScheduledProfileRow::makeContextMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    QAction *changeTime =
        menu->addAction(KivUtilities::Symbols::icon(QStringLiteral("clock")), tr("Change Time"));
    connect(changeTime, &QAction::triggered, this, &ScheduledProfileRow::changeTime);
    if (entry().isEnabled)
        connect(menu->addAction(tr("Disable")), &QAction::triggered, this,
                [this] { setEntryEnabled(false); });
    else
        connect(menu->addAction(tr("Enable")), &QAction::triggered, this, [this] { setEntryEnabled(true); });
    QAction *remove = menu->addAction(KivUtilities::Symbols::icon(QStringLiteral("trash")), tr("Remove"));
    connect(remove, &QAction::triggered, this, &ScheduledProfileRow::askToRemove);
    return menu;
}

void ScheduledProfileRow::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = makeContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void ScheduledProfileRow::changeTime()
{
    m_time->setEditing(true);
}

void ScheduledProfileRow::setEntryEnabled(bool enabled)
{
    ScheduledProfile changed = this->entry();
    changed.isEnabled = enabled;
    write(changed);
}

void ScheduledProfileRow::askToRemove()
{
    // The entry as it is when the user asks; the list may change while the alert is open.
    const ScheduledProfile pending = entry();
    const QPointer<SynchronizedOptionsStore> store = m_store;
    Platform::Alert alert;
    alert.message = tr("Are you sure you want to remove this schedule?");
    alert.informativeText = tr("This operation cannot be undone.");
    alert.buttons = {tr("Remove"), tr("Cancel")};
    alert.cancelButton = 1;
    alert.style = Platform::Alert::Style::Warning;
    const Platform::AlertResult answer = Platform::Alerts::run(alert, window());
    if (answer.button != 0 || !store)
        return;
    QList<ScheduledProfile> entries = store->scheduledProfiles();
    entries.removeIf([&pending](const ScheduledProfile &stored) { return stored.id == pending.id; });
    store->setScheduledProfiles(entries);
}

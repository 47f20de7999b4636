#pragma once

#include "KivApp/SettingsPage.h"
#include "Tapestrel/model/ScheduledProfile.h"

#include <QDateTime>
#include <QList>
#include <QMetaObject>
#include <QPointer>

#include <functional>
#include <optional>

class ModelContext;
class Profile;
class QLabel;
class QMenu;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class ScheduledProfileRow;
class SynchronizedOptionsStore;

// The "Automation" settings page: the daily schedule of profiles. It keeps no list of its own: it
// shows and edits the schedule of the synchronised options, which stores every change and which the
// daily scheduler follows, so nothing here talks to the scheduler.
class AutomationView : public KivApp::SettingsPage
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    // The context in which profiles are looked up, asked each time: the program's store is
    // replaced when its data is reset.
    using ContextSource = std::function<ModelContext *()>;

    static constexpr int fixedHeight = 250;

    // Profiles are looked up in `context`; the clock gives the time of a new entry.
    AutomationView(SynchronizedOptionsStore *store, ModelContext *context, QWidget *parent = nullptr);
    AutomationView(SynchronizedOptionsStore *store, ContextSource context, QWidget *parent = nullptr);

    void setClock(Clock clock) { m_clock = std::move(clock); }

    // The entry whose time editor opens when its row first appears.
    std::optional<QString> editingScheduledProfileID() const { return m_editingID; }

    // The rows in the order shown: by time of day, entries at the same time in stored order.
    QList<ScheduledProfileRow *> rows() const { return m_rows; }
    QLabel *emptyText() const { return m_emptyText; }
    QScrollArea *list() const { return m_list; }
    QToolButton *addButton() const { return m_addButton; }
    QMenu *addMenu() const { return m_addMenu; }

    // What the "Add" menu offers: the enabled profiles by name.
    QList<Profile *> addableProfiles();
    // Appends an entry for the profile at the present time of day, enabled, with its editor open.
    void add(Profile *profile);

    // The entries in the order shown (a stable sort of the stored list by hour and minute).
    static QList<ScheduledProfile> sorted(QList<ScheduledProfile> entries);

protected:
    // Each showing looks at the profiles again (the store may have been replaced meanwhile).
    void showEvent(QShowEvent *event) override;

private:
    QWidget *build();
    // The current context; follows its changes from the first call on.
    ModelContext *context();
    void rebuild();
    void scheduleRebuild();
    void fillAddMenu();

    QPointer<SynchronizedOptionsStore> m_store;
    ContextSource m_contextSource;
    QPointer<ModelContext> m_context;
    QMetaObject::Connection m_contextConnection;
    Clock m_clock;
    std::optional<QString> m_editingID;
    QList<ScheduledProfileRow *> m_rows;
    QList<QMetaObject::Connection> m_profileConnections;
    bool m_rebuildPending = false;
    QLabel *m_emptyText = nullptr;
    QScrollArea *m_list = nullptr;
    QWidget *m_rowsHolder = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
    QToolButton *m_addButton = nullptr;
    QMenu *m_addMenu = nullptr;
};

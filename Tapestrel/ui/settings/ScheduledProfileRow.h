#pragma once

#include "Tapestrel/model/ScheduledProfile.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class ColorLabel;
class QLabel;
class QMenu;
class SynchronizedOptionsStore;
class TimeLabel;

// One entry of the daily schedule: its time (which a click turns into a picker), the name of its
// profile with a warning when the profile is disabled or gone, and a context menu to change the
// time, enable or disable the entry, or remove it.
//
// The row edits the store's list directly, matching its entry by id: an edit replaces the first
// entry with that id and assigns the whole list once; an edit after the entry has left the list
// (removed on another machine) is dropped.
class ScheduledProfileRow : public QWidget
{
    Q_OBJECT

public:
    // What the row shows of the entry's profile; no name when the profile does not exist.
    struct ProfileInfo
    {
        std::optional<QString> name;
        bool isEnabled = false;
    };

    // Whatever the font, the time editor open or closed.
    static constexpr int rowHeight = 32;

    ScheduledProfileRow(const ScheduledProfile &entry, SynchronizedOptionsStore *store, ProfileInfo profile,
                        bool isEditingTime, QWidget *parent = nullptr);

    QString entryID() const { return m_entry.id; }
    // The entry as the store holds it now; the last known copy when the store no longer has it.
    ScheduledProfile entry() const;
    // Replaces the entry in the store's list, when it is still there.
    void write(const ScheduledProfile &value);

    // Takes over a new copy of the entry and what is known of its profile (the page rebuilds its
    // rows after every change of the list or of the profiles).
    void update(const ScheduledProfile &entry, ProfileInfo profile);
    ProfileInfo profile() const { return m_profile; }

    // Called when the user ends editing the time with "Done".
    void setOnEditingComplete(std::function<void()> onComplete);

    bool isEditingTime() const;
    // Switched-off entries are drawn faded.
    bool isDimmed() const;

    TimeLabel *timeLabel() const { return m_time; }
    QLabel *nameLabel() const { return m_name; }
    ColorLabel *disabledTag() const { return m_disabledTag; }
    QLabel *missingLabel() const { return m_missing; }

    // The context menu: "Change Time", "Disable" or "Enable", "Remove". The caller owns it.
    QMenu *makeContextMenu(QWidget *parent = nullptr);

    void changeTime();
    void setEntryEnabled(bool enabled);
    // Asks first; "Remove" takes every entry with this id out of the list.
    void askToRemove();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    static constexpr int sideMargin = 4;

    void refresh();
    void placeContents();

    ScheduledProfile m_entry;
    QPointer<SynchronizedOptionsStore> m_store;
    ProfileInfo m_profile;
    QWidget *m_inner;
    TimeLabel *m_time;
    QLabel *m_name;
    ColorLabel *m_disabledTag;
    QLabel *m_missing;
};

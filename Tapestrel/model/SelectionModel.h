#pragma once

#include <QHash>
#include <QObject>
#include <QSet>

class Profile;

// The profiles selected in the main window, and those chosen for deletion.
//
// Profiles can vanish while selected: a restore replaces them, the switcher, the command line or a
// data reset deletes them. The model therefore never hands out a profile that has been deleted from
// its context, and forgets (and announces) a member as soon as its object is destroyed, so nothing
// that reads the selection later touches freed memory.
class SelectionModel : public QObject
{
    Q_OBJECT

public:
    using Selection = QSet<Profile *>;

    explicit SelectionModel(QObject *parent = nullptr);

    Selection selectedProfiles() const { return live(m_selectedProfiles); }
    void setSelectedProfiles(const Selection &profiles);

    Selection selectedProfilesForDeletion() const { return live(m_selectedProfilesForDeletion); }
    void setSelectedProfilesForDeletion(const Selection &profiles);

signals:
    void selectedProfilesChanged();
    void selectedProfilesForDeletionChanged();

private:
    static Selection live(const Selection &profiles);
    // Stores the live members of `profiles`; whether that changed the member.
    bool assign(Selection &member, const Selection &profiles);
    void watch(const Selection &profiles);
    void profileDestroyed(QObject *object);

    Selection m_selectedProfiles;
    Selection m_selectedProfilesForDeletion;
    // The QObject address of every watched profile, taken while it was alive: a destroyed profile is
    // found by that address without converting its dangling pointer.
    QHash<QObject *, Profile *> m_watched;
};

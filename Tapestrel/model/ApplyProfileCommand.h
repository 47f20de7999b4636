#pragma once

#include "Tapestrel/model/ProfileOperationQueue.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QString>

class Profile;

// Applies a profile from anywhere in the program: offers once to save the current settings as a
// first profile, records that a profile was applied (and which one), applies it and shows its name
// at the bottom of the screen. An unattended command asks nothing: it saves the first profile as a
// "Yes" would, so that nothing of the user's setup is lost unasked.
class ApplyProfileCommand
{
public:
    ApplyProfileCommand(
        Profile *profile, bool saveLastProfile,
        ProfileOperationQueue::Attendance attendance = ProfileOperationQueue::Attendance::attended);

    // Asks the first-profile question when no profile was ever applied, then starts the apply and
    // returns. The apply waits for any profile operation that is still running.
    void execute();

    // The same, returning the apply for callers that wait for its end.
    QCoro::Task<void> executeAndWait();

private:
    static QCoro::Task<void> perform(QPointer<Profile> profile, QPointer<Profile> firstProfile,
                                     bool saveLastProfile, QString name,
                                     ProfileOperationQueue::Attendance attendance);
    // Creates "First Profile" in the profile's context when the user agrees (or nobody can be asked).
    Profile *proposeFirstProfile();

    QPointer<Profile> m_profile;
    bool m_saveLastProfile;
    ProfileOperationQueue::Attendance m_attendance;
};

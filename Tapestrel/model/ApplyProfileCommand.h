#pragma once

#include "Tapestrel/model/ApplyResult.h"
#include "Tapestrel/model/ProfileOperationQueue.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QString>

class Profile;

// Applies a profile from anywhere in the program: offers once to save the current settings as a
// first profile, records that a profile was applied (and which one), applies it and shows its name
// at the bottom of the screen. An unattended command asks nothing: it saves the first profile as a
// "Yes" would, so that nothing of the user's setup is lost unasked.
//
// The name is shown only when every option was applied. Otherwise the options that could not be
// changed are reported: to a person who started the apply in an alert, and for an unattended apply
// in a notice that waits for nobody and on standard error.
class ApplyProfileCommand
{
public:
    ApplyProfileCommand(
        Profile *profile, bool saveLastProfile,
        ProfileOperationQueue::Attendance attendance = ProfileOperationQueue::Attendance::attended);

    // Asks the first-profile question when no profile was ever applied, then starts the apply and
    // returns. The apply waits for any profile operation that is still running; when it ends, what
    // failed is reported as the attendance asks.
    void execute();

    // The same, returning the result for callers that wait for its end and pass what failed on to
    // their own caller: nothing but the name of a wholly applied profile is shown.
    QCoro::Task<ApplyResult> executeAndWait();

    // Shows what could not be applied: an alert when a person started the apply (after the call
    // returns, from the event loop), otherwise a notice that needs no answer, with the lines on
    // standard error. Nothing for a result without failures.
    static void report(const ApplyResult &result, ProfileOperationQueue::Attendance attendance);

    // The object name of the unattended notice (one at a time: a new one replaces it).
    static const QString noticeName; // "ApplyFailureNotice"

private:
    static QCoro::Task<ApplyResult> perform(QPointer<Profile> profile, QPointer<Profile> firstProfile,
                                            bool saveLastProfile, QString name,
                                            ProfileOperationQueue::Attendance attendance);
    static QCoro::Task<void> applyAndReport(QCoro::Task<ApplyResult> apply,
                                            ProfileOperationQueue::Attendance attendance);
    // Creates "First Profile" in the profile's context when the user agrees (or nobody can be asked).
    Profile *proposeFirstProfile();

    QPointer<Profile> m_profile;
    bool m_saveLastProfile;
    ProfileOperationQueue::Attendance m_attendance;
};

#pragma once

#include "Tapestrel/model/ApplyResult.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/ProfileOperationQueue.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class Profile;

// Applies a profile to the system and the integrated applications by walking the option registry,
// and reads their current settings into a profile. Made for one operation.
//
// Operations take their turn on the shared ProfileOperationQueue, so they never interleave with
// another profile operation. A profile deleted while an operation runs ends it quietly.
class ProfileController
{
public:
    // The option identifiers that the user excluded everywhere; asked as each model comes up.
    using DisabledOptionIDs = std::function<QStringList()>;
    // Receives the share of the walk done, 0...1.
    using Progress = std::function<void(double)>;

    ProfileController(Profile *profile, DisabledOptionIDs disabledOptionIDs,
                      OptionStore &options = OptionStore::shared());

    // For an operation that already holds the queue: the controller then does not wait for it.
    void useTurn(std::shared_ptr<ProfileOperationQueue::Turn> turn) { m_turn = std::move(turn); }
    // For an operation that nobody may be there to answer a question for; attended by default.
    void setAttendance(ProfileOperationQueue::Attendance attendance) { m_attendance = attendance; }

    // Applies every registered model's option in registry order, skipping options disabled in the
    // profile or globally, and options the profile does not hold or holds with the empty text. A model's
    // error does not stop the walk: it is collected in the result, and the other options are still applied.
    // The Dock restarts once at the end when any model asked for it.
    QCoro::Task<ApplyResult> apply(Progress progress = {});

    // Applies one model's option, whatever its enabled state (not the empty text); throws what the
    // model throws.
    QCoro::Task<void> apply(OptionModel *model);

    // Reads every registered model's current value into the profile, creating missing options. A
    // model that reads nothing (or the empty text) leaves the profile as it is.
    QCoro::Task<void> readCurrentSettings();

    // Reads one model's current value into the profile, as readCurrentSettings() does.
    QCoro::Task<void> readCurrentValue(OptionModel *model);

    // How the Dock restart is carried out: the program's, installed once by the main controller
    // (without one nothing restarts), unless tests set their own to count restarts instead (an empty
    // function restores the program's).
    using DockRestart = std::function<QCoro::Task<void>()>;
    static void setDockRestart(DockRestart restart);
    static void setProgramDockRestart(DockRestart restart);

private:
    QCoro::Task<std::shared_ptr<ProfileOperationQueue::Turn>> turn();
    bool profileIsGone() const;
    // The profile is gone, or the program's end stopped the applies: nothing more is done for it.
    bool stopped() const;
    static QCoro::Task<void> restartDock();
    // Stores a value read for a model; false when the profile is gone.
    bool store(const QString &key, const std::optional<QString> &value);

    QPointer<Profile> m_profile;
    DisabledOptionIDs m_disabledOptionIDs;
    OptionStore *m_options;
    std::shared_ptr<ProfileOperationQueue::Turn> m_turn;
    ProfileOperationQueue::Attendance m_attendance = ProfileOperationQueue::Attendance::attended;
};

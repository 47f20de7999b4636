#pragma once

#include "Tapestrel/model/ProfileOperationQueue.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QString>

class ModelContext;
class Profile;
class SelectionModel;

// Creates a profile from the current settings: inserted and selected at once, shown as loading
// while its options are read.
class NewProfileCommand
{
public:
    NewProfileCommand(
        SelectionModel *model, ModelContext *context, QString name, bool notify,
        ProfileOperationQueue::Attendance attendance = ProfileOperationQueue::Attendance::attended);

    // Inserts the profile and fills it in the background.
    void execute();
    // Inserts the profile and returns it once it holds every option; null when the context is gone.
    QCoro::Task<Profile *> createProfile();
    // The profile createProfile() inserted, while it is filled too.
    Profile *insertedProfile() const;

private:
    Profile *insertProfile();
    static QCoro::Task<Profile *> fill(QPointer<Profile> profile, bool notify,
                                       ProfileOperationQueue::Attendance attendance);
    static void showCreatedToast(bool notify);

    QPointer<SelectionModel> m_model;
    QPointer<ModelContext> m_context;
    QString m_name;
    bool m_notify;
    ProfileOperationQueue::Attendance m_attendance;
    QPointer<Profile> m_inserted;
};

#include "Tapestrel/model/NewProfileCommand.h"

#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileController.h"
#include "Tapestrel/model/SelectionModel.h"

#include "KivUtilities/BottomNotificationController.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"

#include <QCoreApplication>
#include <QTimer>

NewProfileCommand::NewProfileCommand(SelectionModel *model, ModelContext *context, QString name, bool notify,
                                     ProfileOperationQueue::Attendance attendance)
    : m_model(model)
    , m_context(context)
    , m_name(std::move(name))
    , m_notify(notify)
    , m_attendance(attendance)
{ }

void NewProfileCommand::execute()
{
    KivUtilities::detached(createProfile(), "NewProfileCommand");
}

QCoro::Task<Profile *> NewProfileCommand::createProfile()
{
    m_inserted = insertProfile();
    return fill(m_inserted, m_notify, m_attendance);
}

Profile *NewProfileCommand::insertedProfile() const
{
    return m_inserted;
}

Profile *NewProfileCommand::insertProfile()
{
    if (!m_context)
        return nullptr;
    auto created = std::make_unique<Profile>(m_name);
    created->setLoading(true);
    Profile *profile = m_context->insert(std::move(created));
    if (m_model) {
        // Selected on the next turn of the event loop, once the list shows the new profile.
        QPointer<SelectionModel> model = m_model;
        QPointer<Profile> selected = profile;
        QTimer::singleShot(0, model, [model, selected] {
            if (model && selected)
                model->setSelectedProfiles({selected.data()});
        });
    }
    return profile;
}

QCoro::Task<Profile *> NewProfileCommand::fill(QPointer<Profile> profile, bool notify,
                                               ProfileOperationQueue::Attendance attendance)
{
    if (!profile)
        co_return nullptr;
    ProfileController controller(profile, EngineSettings::disabledOptionIDs);
    controller.setAttendance(attendance);
    co_await controller.readCurrentSettings();
    if (!profile || profile->isDeleted())
        co_return nullptr;
    profile->setLoading(false);
    showCreatedToast(notify);
    co_return profile.data();
}

void NewProfileCommand::showCreatedToast(bool notify)
{
    if (!notify)
        return;
    KivUtilities::BottomNotificationController::shared().show(
        QCoreApplication::translate("NewProfileCommand", "Profile Created"),
        KivUtilities::Symbols::icon(QStringLiteral("checkmark.rectangle")));
}

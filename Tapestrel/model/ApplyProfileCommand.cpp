#include "Tapestrel/model/ApplyProfileCommand.h"

#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileController.h"

#include "KivUtilities/BottomNotificationController.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "platform/Alerts.h"

#include <QCoreApplication>

ApplyProfileCommand::ApplyProfileCommand(Profile *profile, bool saveLastProfile,
                                         ProfileOperationQueue::Attendance attendance)
    : m_profile(profile)
    , m_saveLastProfile(saveLastProfile)
    , m_attendance(attendance)
{ }

void ApplyProfileCommand::execute()
{
    KivUtilities::detached(executeAndWait(), "ApplyProfileCommand");
}

QCoro::Task<void> ApplyProfileCommand::executeAndWait()
{
    if (!m_profile || m_profile->isDeleted())
        return perform(nullptr, nullptr, false, QString(), m_attendance);
    // The name shown at the end is the one the profile has now.
    const QString name = m_profile->name();
    Profile *firstProfile = nullptr;
    if (!EngineSettings::didApplyAnyProfile()) {
        firstProfile = proposeFirstProfile();
        // Recorded at once, so that a second command started meanwhile does not ask again.
        EngineSettings::setDidApplyAnyProfile(true);
    }
    return perform(m_profile, firstProfile, m_saveLastProfile, name, m_attendance);
}

Profile *ApplyProfileCommand::proposeFirstProfile()
{
    Platform::Alert alert;
    alert.message = QCoreApplication::translate(
        "ApplyProfileCommand",
        "Before applying your first profile, it’s recommended to create one from your current settings. "
        "That way, you can easily restore your setup later.\nWould you like to create it now?",
        "Auto profile creating alert");
    alert.buttons = {QCoreApplication::translate("ApplyProfileCommand", "Yes"),
                     QCoreApplication::translate("ApplyProfileCommand", "No")};
    alert.defaultButton = 0;
    alert.style = Platform::Alert::Style::Informational;
    const bool yes = m_attendance == ProfileOperationQueue::Attendance::unattended
        || Platform::Alerts::run(alert).button == 0;
    if (!yes || !m_profile)
        return nullptr;
    ModelContext *context = m_profile->modelContext();
    if (!context)
        return nullptr;
    return context->insert(std::make_unique<Profile>(
        QCoreApplication::translate("ApplyProfileCommand", "First Profile", "First profile default name")));
}

QCoro::Task<void> ApplyProfileCommand::perform(QPointer<Profile> profile, QPointer<Profile> firstProfile,
                                               bool saveLastProfile, QString name,
                                               ProfileOperationQueue::Attendance attendance)
{
    if (!profile)
        co_return;
    const auto turn = co_await ProfileOperationQueue::shared().waitForTurn(attendance);
    if (firstProfile) {
        // The first profile keeps the settings from before anything is changed.
        ProfileController reader(firstProfile, EngineSettings::disabledOptionIDs);
        reader.useTurn(turn);
        co_await reader.readCurrentSettings();
    }
    if (!profile || profile->isDeleted())
        co_return;
    if (saveLastProfile)
        EngineSettings::setLastAppliedProfileID(profile->uuid());

    ProfileController controller(profile, EngineSettings::disabledOptionIDs);
    controller.useTurn(turn);
    co_await controller.apply();
    if (!profile || profile->isDeleted())
        co_return;
    KivUtilities::BottomNotificationController::shared().show(
        QCoreApplication::translate("ApplyProfileCommand", "%1", "The name of the applied profile").arg(name),
        KivUtilities::Symbols::icon(QStringLiteral("menubar.dock.rectangle")));
}

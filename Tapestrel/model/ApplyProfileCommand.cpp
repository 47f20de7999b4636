#include "Tapestrel/model/ApplyProfileCommand.h"

#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileController.h"

#include "KivUtilities/BottomNotificationController.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "platform/Alerts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

const QString ApplyProfileCommand::noticeName = QStringLiteral("ApplyFailureNotice");

namespace {

Platform::Alert failureAlert(const ApplyResult &result)
{
    Platform::Alert alert;
    alert.message = result.headline();
    alert.informativeText = result.lines().join(QLatin1Char('\n'));
    alert.buttons = {QCoreApplication::translate("ApplyProfileCommand", "OK")};
    alert.style = Platform::Alert::Style::Warning;
    return alert;
}

// The notice of an unattended apply: a window that nobody has to answer, so that nothing waits for
// a person who is not there. The last one stays until it is closed or replaced.
void showNotice(const ApplyResult &result)
{
    static QPointer<QMessageBox> shown;
    if (shown)
        shown->close();
    QMessageBox *box = Platform::Alerts::makeMessageBox(failureAlert(result));
    box->setObjectName(ApplyProfileCommand::noticeName);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    shown = box;
}

} // namespace

ApplyProfileCommand::ApplyProfileCommand(Profile *profile, bool saveLastProfile,
                                         ProfileOperationQueue::Attendance attendance)
    : m_profile(profile)
    , m_saveLastProfile(saveLastProfile)
    , m_attendance(attendance)
{ }

void ApplyProfileCommand::execute()
{
    KivUtilities::detached(applyAndReport(executeAndWait(), m_attendance), "ApplyProfileCommand");
}

QCoro::Task<void> ApplyProfileCommand::applyAndReport(QCoro::Task<ApplyResult> apply,
                                                      ProfileOperationQueue::Attendance attendance)
{
    const ApplyResult result = co_await std::move(apply);
    report(result, attendance);
}

void ApplyProfileCommand::report(const ApplyResult &result, ProfileOperationQueue::Attendance attendance)
{
    // Nor is an apply the program's end stopped reported: the program ends, and its callers are told so.
    if (result.succeeded() || ProfileOperationQueue::shared().appliesEnded())
        return;
    // The person made the later apply themselves.
    if (attendance == ProfileOperationQueue::Attendance::attended && result.completed
        && result.onlySuperseded())
        return;
    if (attendance == ProfileOperationQueue::Attendance::attended) {
        // From the event loop: a modal alert run inside the apply's resumption would nest an event
        // loop in the middle of whatever resumed it.
        QTimer::singleShot(0, qApp, [alert = failureAlert(result)] { Platform::Alerts::run(alert); });
        return;
    }
    qWarning().noquote() << result.text();
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        showNotice(result);
}

QCoro::Task<ApplyResult> ApplyProfileCommand::executeAndWait()
{
    if (!m_profile || m_profile->isDeleted())
        return perform(nullptr, nullptr, false, m_profile ? m_profile->name() : QString(), m_attendance);
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

QCoro::Task<ApplyResult> ApplyProfileCommand::perform(QPointer<Profile> profile,
                                                      QPointer<Profile> firstProfile, bool saveLastProfile,
                                                      QString name,
                                                      ProfileOperationQueue::Attendance attendance)
{
    ApplyResult result;
    result.profileName = name;
    if (!profile) {
        // Gone before anything was applied.
        result.completed = false;
        co_return result;
    }
    ProfileOperationQueue::shared().announceApply(profile);
    const auto turn = co_await ProfileOperationQueue::shared().waitForTurn(attendance);
    if (firstProfile) {
        // The first profile keeps the settings from before anything is changed.
        ProfileController reader(firstProfile, EngineSettings::disabledOptionIDs);
        reader.useTurn(turn);
        co_await reader.readCurrentSettings();
    }
    if (!profile || profile->isDeleted()) {
        result.completed = false;
        co_return result;
    }
    if (saveLastProfile)
        EngineSettings::setLastAppliedProfileID(profile->uuid());

    ProfileController controller(profile, EngineSettings::disabledOptionIDs);
    controller.useTurn(turn);
    const ApplyResult applied = co_await controller.apply();
    result.failures = applied.failures;
    result.completed = applied.completed && profile && !profile->isDeleted();
    if (result.succeeded()) {
        KivUtilities::BottomNotificationController::shared().show(
            QCoreApplication::translate("ApplyProfileCommand", "%1", "The name of the applied profile")
                .arg(name),
            KivUtilities::Symbols::icon(QStringLiteral("menubar.dock.rectangle")));
    }
    co_return result;
}

#include "ProfileActionButtons.h"

#include "KivApp/AppMenuButtons.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "Tapestrel/model/ApplyProfileCommand.h"
#include "Tapestrel/model/DeleteCommand.h"
#include "Tapestrel/model/DuplicateCommand.h"
#include "Tapestrel/model/GetCurrentSettingsCommand.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "platform/Alerts.h"

#include <QAction>
#include <QCoreApplication>

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("ProfileActionButtons", source);
}

using KivApp::AppMenuButtons::makeAction;

// A menu item outlives the moment it was made for (its menu runs the event loop), so it holds its
// profiles weakly and acts on those that still exist when it is chosen.
QList<QPointer<Profile>> guarded(const ProfileActionButtons::Profiles &profiles)
{
    QList<QPointer<Profile>> result;
    for (Profile *profile : profiles)
        result.append(profile);
    return result;
}

ProfileActionButtons::Profiles present(const QList<QPointer<Profile>> &profiles)
{
    ProfileActionButtons::Profiles result;
    for (const QPointer<Profile> &profile : profiles) {
        if (profile && !profile->isDeleted())
            result.insert(profile);
    }
    return result;
}

} // namespace

const QString DeleteConfirmation::title =
    QStringLiteral("Are you sure you want to delete selected profiles?");
const QString DeleteConfirmation::message = QStringLiteral("This operation cannot be undone.");

Profile *ProfileActionButtons::singleProfile(const Profiles &profiles)
{
    return profiles.size() == 1 ? *profiles.begin() : nullptr;
}

bool ProfileActionButtons::allEnabled(const Profiles &profiles)
{
    for (Profile *profile : profiles) {
        if (profile && !profile->isEnabled())
            return false;
    }
    return true;
}

QAction *ProfileActionButtons::applyProfileButton(Profile *profile, QObject *parent)
{
    QAction *action = makeAction(text("Apply Profile"), QStringLiteral("play.fill"), parent);
    action->setEnabled(profile != nullptr);
    QPointer<Profile> target(profile);
    QObject::connect(action, &QAction::triggered, action, [target]() {
        if (target)
            ApplyProfileCommand(target, true).execute();
    });
    return action;
}

QAction *ProfileActionButtons::newProfileButton(QObject *parent, std::function<void()> showPrompt)
{
    QAction *action = makeAction(text("New Profile"), newProfileSymbol, parent);
    QObject::connect(action, &QAction::triggered, action, [showPrompt]() {
        if (showPrompt)
            showPrompt();
    });
    return action;
}

QAction *ProfileActionButtons::duplicateButton(ModelContext *context, const Profiles &profiles,
                                               QObject *parent)
{
    QAction *action = makeAction(text("Duplicate"), QStringLiteral("plus.square.on.square"), parent);
    action->setEnabled(!profiles.isEmpty());
    QPointer<ModelContext> target(context);
    const QList<QPointer<Profile>> chosen = guarded(profiles);
    QObject::connect(action, &QAction::triggered, action, [target, chosen]() {
        if (!target)
            return;
        DuplicateCommand(target, present(chosen).values()).execute();
        try {
            target->save();
        } catch (const std::exception &error) {
            // The copies stay in the context and go with the next autosave.
            qWarning("Saving duplicated profiles failed: %s", error.what());
        }
    });
    return action;
}

QAction *ProfileActionButtons::deleteButton(SelectionModel *model, const Profiles &profiles, QObject *parent,
                                            std::function<void()> showConfirmation)
{
    QAction *action = makeAction(text("Delete"), QStringLiteral("trash"), parent);
    action->setEnabled(!profiles.isEmpty());
    QPointer<SelectionModel> target(model);
    const QList<QPointer<Profile>> chosen = guarded(profiles);
    QObject::connect(action, &QAction::triggered, action, [target, chosen, showConfirmation]() {
        if (!target)
            return;
        target->setSelectedProfilesForDeletion(present(chosen));
        if (showConfirmation)
            showConfirmation();
    });
    return action;
}

QAction *ProfileActionButtons::getCurrentSettingsButton(SelectionModel *model, QObject *parent)
{
    QAction *action = makeAction(text("Get Current Settings"), QStringLiteral("arrow.clockwise"), parent);
    action->setEnabled(model && model->selectedProfiles().size() == 1);
    QPointer<SelectionModel> target(model);
    QObject::connect(action, &QAction::triggered, action, [target]() {
        if (!target)
            return;
        Profile *profile = singleProfile(target->selectedProfiles());
        if (!profile)
            return;
        profile->setLoading(true);
        GetCurrentSettingsCommand command(profile);
        KivUtilities::detached(command.execute(), "Reading the current settings into a profile");
    });
    return action;
}

QAction *ProfileActionButtons::isProfileEnabledToggle(const Profiles &profiles, QObject *parent)
{
    QAction *action = makeAction(QString(), QString(), parent);
    const QList<QPointer<Profile>> chosen = guarded(profiles);
    // The item outlives a click (the main menu keeps it until the selection changes), so its text
    // and its effect follow the profiles' state as it is now, not as it was when it was made.
    const auto relabel = [action, chosen] {
        action->setText(allEnabled(present(chosen)) ? text("Disable") : text("Enable"));
    };
    relabel();
    for (Profile *profile : profiles) {
        if (profile)
            QObject::connect(profile, &Profile::isEnabledChanged, action, relabel);
    }
    QObject::connect(action, &QAction::triggered, action, [chosen]() {
        const Profiles current = present(chosen);
        const bool enable = !allEnabled(current);
        for (Profile *profile : current)
            profile->setEnabled(enable);
    });
    return action;
}

bool DeleteConfirmation::run(SelectionModel *model, ModelContext *context, QWidget *parent)
{
    Platform::Alert alert;
    alert.message = QCoreApplication::translate("DeleteConfirmation", title.toUtf8().constData());
    alert.informativeText = QCoreApplication::translate("DeleteConfirmation", message.toUtf8().constData());
    alert.buttons = {QCoreApplication::translate("DeleteConfirmation", "Delete"),
                     QCoreApplication::translate("DeleteConfirmation", "Cancel")};
    alert.defaultButton = -1;
    alert.cancelButton = 1;
    // The delete chord of the main menu answers the question too.
    alert.shortcuts = {{QKeySequence(Qt::CTRL | Qt::Key_Backspace), 0},
                       {QKeySequence(Qt::CTRL | Qt::Key_Delete), 0}};
    alert.style = Platform::Alert::Style::Warning;
    const Platform::AlertResult answer = Platform::Alerts::run(alert, parent);
    if (answer.button != 0)
        return false;
    DeleteCommand(model, context).execute();
    return true;
}

#include "UiFixture.h"

#include "Tapestrel/backup/TapestrelBackupHandler.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/ui/MainWindow.h"
#include "Tapestrel/ui/ProfileActionButtons.h"
#include "platform/Alerts.h"
#include "testsupport/RunTask.h"

#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using TestSupport::waitUntil;
using namespace std::chrono_literals;

namespace {

class ProfileActionTest : public UiTests::UiTest
{
protected:
    QList<Profile *> stored()
    {
        QList<Profile *> found;
        for (Profile *profile : context->fetchProfiles()) {
            if (!profile->isDeleted())
                found.append(profile);
        }
        return found;
    }
    QObject owner;
    SelectionModel selection;
};

TEST_F(ProfileActionTest, ApplyDuplicateAndRefillActOnTheirProfiles)
{
    EngineSettings::setDidApplyAnyProfile(true);
    Profile *a = newProfile("A");
    new Option("system.ui.appearance", "Dark", a);
    new Option("apps.bear.theme", "Charcoal", a);
    Profile *b = newProfile("B");
    context->save();

    ProfileActionButtons::applyProfileButton(a, &owner)->trigger();
    EXPECT_TRUE(waitUntil([&] { return EngineSettings::lastAppliedProfileID() == a->uuid(); }));
    EXPECT_TRUE(registry.journal->entries.contains("apply system.ui.appearance=Dark @A"));

    // A person applied it: a setting that could not be changed is told in an alert.
    {
        Platform::ScriptedAlertAnswerer answers;
        registry.model("apps.bear.theme")->fails = true;
        ProfileActionButtons::applyProfileButton(a, &owner)->trigger();
        ASSERT_TRUE(waitUntil([&] { return answers.alerts().size() == 1; }));
        EXPECT_EQ(answers.alerts()[0].message, "Applied “A”, but 1 of its settings could not be changed:");
        EXPECT_EQ(answers.alerts()[0].informativeText, "Test › apps.bear.theme: refused");
        registry.model("apps.bear.theme")->fails = false;
    }

    ProfileActionButtons::duplicateButton(context, {a, b}, &owner)->trigger();
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(stored().size(), 4);

    ProfileActionButtons::isProfileEnabledToggle({}, &owner)->trigger(); // an empty set: nothing happens

    // Get Current Settings marks the profile as loading at once and fills it.
    registry.model("system.ui.appearance")->currentValue = "Light";
    registry.model("system.ui.appearance")->delay = 50ms;
    selection.setSelectedProfiles({a});
    ProfileActionButtons::getCurrentSettingsButton(&selection, &owner)->trigger();
    EXPECT_TRUE(a->isLoading());
    EXPECT_TRUE(waitUntil([&] { return !a->isLoading(); }));
    EXPECT_EQ(a->value("system.ui.appearance"), "Light");

    // New Profile only raises the prompt.
    int prompts = 0;
    ProfileActionButtons::newProfileButton(&owner, [&prompts] { ++prompts; })->trigger();
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(stored().size(), 4);
}

TEST_F(ProfileActionTest, DeletionAsksAndDeletesTheRecordedSet)
{
    Profile *a = newProfile("A");
    Profile *b = newProfile("B");
    Profile *c = newProfile("C");
    context->save();
    Platform::ScriptedAlertAnswerer answers;

    int confirmations = 0;
    selection.setSelectedProfiles({a, b});
    ProfileActionButtons::deleteButton(&selection, {a, b}, &owner, [&confirmations] {
        ++confirmations;
    })->trigger();
    EXPECT_EQ(confirmations, 1);
    EXPECT_EQ(selection.selectedProfilesForDeletion(), SelectionModel::Selection({a, b}));

    // The selection changes while the question is up: the recorded set still decides.
    selection.setSelectedProfiles({c});
    answers.answer("Cancel");
    EXPECT_FALSE(DeleteConfirmation::run(&selection, context));
    ASSERT_EQ(answers.alerts().size(), 1);
    const Platform::Alert &asked = answers.alerts().first();
    EXPECT_EQ(asked.message, "Are you sure you want to delete selected profiles?");
    EXPECT_EQ(asked.informativeText, "This operation cannot be undone.");
    EXPECT_EQ(asked.buttons, QStringList({"Delete", "Cancel"}));
    EXPECT_EQ(asked.shortcuts,
              (QList<std::pair<QKeySequence, int>> {{QKeySequence(Qt::CTRL | Qt::Key_Backspace), 0},
                                                    {QKeySequence(Qt::CTRL | Qt::Key_Delete), 0}}));
    EXPECT_EQ(stored().size(), 3);
    EXPECT_EQ(selection.selectedProfiles(), SelectionModel::Selection({c}));

    answers.answer("Delete");
    EXPECT_TRUE(DeleteConfirmation::run(&selection, context));
    EXPECT_TRUE(waitUntil([&] { return stored().size() == 1; }));
    const QList<Profile *> left = stored();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left.first()->name(), "C");
    EXPECT_TRUE(selection.selectedProfiles().isEmpty());
    EXPECT_TRUE(selection.selectedProfilesForDeletion().isEmpty());
}

} // namespace

// Profiles can vanish while selected: the switcher or the command line deletes them. Nothing that
// still holds the selection may touch them afterwards. One a restore replaces stays.
TEST_F(ProfileActionTest, ProfilesThatVanishElsewhereLeaveTheSelection)
{
    const auto freeDeleted = [] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    Profile *kept = newProfile("Kept");
    Profile *work = newProfile("Work");
    Profile *other = newProfile("Other");
    context->save();
    Defaults defaults;
    MainWindow window(&selection, context, &defaults, &options);

    // Selected and changed, then an older backup is restored over it: the restored record takes its
    // row, and the selection shows it.
    selection.setSelectedProfiles({work});
    work->setName("Work (changed)");
    context->save();
    QTemporaryDir backup;
    TapestrelBackupHandler handler(context, "profiles.json", "backgrounds.json");
    TestSupport::runTask(handler.backup(backup.path()));
    work->setName("Work (changed again)");
    context->save();
    TestSupport::runTask(handler.restore(backup.path()));
    freeDeleted();
    EXPECT_EQ(selection.selectedProfiles(), SelectionModel::Selection({work}));
    EXPECT_EQ(work->name(), "Work (changed)");

    // Two recorded for deletion, one deleted elsewhere before "Delete" is confirmed: the other goes,
    // nothing touches the vanished one.
    selection.setSelectedProfiles({kept, other});
    int selectionChanges = 0;
    QObject::connect(&selection, &SelectionModel::selectedProfilesChanged, &owner,
                     [&selectionChanges] { ++selectionChanges; });
    ProfileActionButtons::deleteButton(&selection, {kept, other}, &owner, {})->trigger();
    context->remove(kept);
    context->save();
    freeDeleted();
    EXPECT_EQ(selection.selectedProfiles(), SelectionModel::Selection({other}));
    EXPECT_EQ(selection.selectedProfilesForDeletion(), SelectionModel::Selection({other}));
    EXPECT_GE(selectionChanges, 1);
    Platform::ScriptedAlertAnswerer answers;
    answers.answer("Delete");
    EXPECT_TRUE(DeleteConfirmation::run(&selection, context));
    freeDeleted();
    QStringList names;
    for (Profile *profile : stored())
        names.append(profile->name());
    EXPECT_EQ(names, QStringList({"Work (changed)"}));
    EXPECT_TRUE(selection.selectedProfilesForDeletion().isEmpty());

    // A menu item made before its profile vanished acts on nothing.
    Profile *last = stored().first();
    QAction *disable = ProfileActionButtons::isProfileEnabledToggle({last}, &owner);
    QAction *remove = ProfileActionButtons::deleteButton(&selection, {last}, &owner, {});
    context->remove(last);
    context->save();
    freeDeleted();
    disable->trigger();
    remove->trigger();
    EXPECT_TRUE(selection.selectedProfilesForDeletion().isEmpty());
}

TEST_F(ProfileActionTest, DeleteQuestionAnswersTheDeleteChordAndShowsTextAsTyped)
{
    Platform::Alert alert;
    alert.message = QStringLiteral("<b>Night</b> & Day");
    alert.informativeText = QStringLiteral("<img src=\"/etc/hostname\">");
    alert.buttons = {QStringLiteral("Delete"), QStringLiteral("Cancel")};
    alert.cancelButton = 1;
    alert.shortcuts = {{QKeySequence(Qt::CTRL | Qt::Key_Backspace), 0},
                       {QKeySequence(Qt::CTRL | Qt::Key_Delete), 0}};
    for (const Qt::Key key : {Qt::Key_Backspace, Qt::Key_Delete}) {
        std::unique_ptr<QMessageBox> box(Platform::Alerts::makeMessageBox(alert));
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text() == alert.message || label->text() == alert.informativeText) {
                EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
            }
        }
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(box.get()));
        QTest::keyClick(box.get(), key, Qt::ControlModifier);
        EXPECT_EQ(box->clickedButton(), box->buttons().value(0));
    }
}

#include "RecordingOptionModel.h"

#include "Tapestrel/model/ApplyProfileCommand.h"
#include "Tapestrel/model/DeleteCommand.h"
#include "Tapestrel/model/DuplicateCommand.h"
#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/GetCurrentSettingsCommand.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/NewProfileCommand.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/ProfileController.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/model/ToggleOptionPicker.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>

#include "KivUtilities/BottomNotificationController.h"
#include "KivUtilities/BottomNotificationView.h"
#include "KivUtilities/BottomNotificationWindowController.h"
#include "platform/Alerts.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <gtest/gtest.h>

using namespace EngineTests;
using TestSupport::runTask;
using TestSupport::spinEventLoop;

namespace {

class ProfileCommandTest : public TestSupport::TempHomeTest
{
protected:
    ProfileCommandTest()
    {
        OptionStore::setShared(&registry.store);
        ProfileController::setDockRestart([this]() -> QCoro::Task<void> {
            ++dockRestarts;
            co_return;
        });
        EngineSettings::setDisabledOptionIDsSource([this] { return disabled; });
    }
    ~ProfileCommandTest() override
    {
        OptionStore::setShared(nullptr);
        ProfileController::setDockRestart({});
        EngineSettings::setDisabledOptionIDsSource({});
    }

    // A profile that holds every registered option, each with the value "on".
    Profile *newProfile(const QString &name)
    {
        Profile *profile = context->insert(std::make_unique<Profile>(name));
        holdEveryOption(profile);
        return profile;
    }
    static QString lastNotice()
    {
        auto *controller = KivUtilities::BottomNotificationController::shared().windowController();
        return controller && controller->window() ? controller->window()->text() : QString();
    }
    QList<Profile *> profilesNamed(const QString &name)
    {
        QList<Profile *> found;
        for (Profile *profile : context->fetchProfiles()) {
            if (profile->name() == name && !profile->isDeleted())
                found.append(profile);
        }
        return found;
    }

    int dockRestarts = 0;
    QStringList disabled;
    RecordingRegistry registry;
    ModelContainer container {home.filePath("data.sqlite")};
    ModelContext *context = container.mainContext();
    Platform::ScriptedAlertAnswerer alerts;
};

} // namespace

TEST_F(ProfileCommandTest, FirstApplyAnsweredYesSavesTheSettingsFromBeforeTheApply)
{
    Profile *evening = newProfile("Evening");
    evening->findOrCreateOption("system.ui.appearance")->setValue("dark");
    registry.model("system.ui.appearance")->currentValue = "light";
    registry.model("system.ui.appearance")->delay = std::chrono::milliseconds(5);
    EngineSettings::setLastAppliedProfileID("EARLIER");
    alerts.answer("Yes");

    ApplyProfileCommand command(evening, true);
    auto task = command.executeAndWait();
    // The name at the moment of the request is the one shown.
    evening->setName("Renamed");
    runTask(std::move(task));

    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(
        alerts.alerts()[0].message,
        "Before applying your first profile, it’s recommended to create one from your current settings. "
        "That way, you can easily restore your setup later.\nWould you like to create it now?");
    EXPECT_EQ(alerts.alerts()[0].buttons, QStringList({"Yes", "No"}));

    const QList<Profile *> first = profilesNamed("First Profile");
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0]->modelContext(), context);
    EXPECT_EQ(first[0]->options().size(), 28);
    EXPECT_EQ(first[0]->value("system.ui.appearance"), "light");
    // Every reading happened before the first change.
    const QStringList &entries = registry.journal->entries;
    EXPECT_EQ(entries.indexOf(QRegularExpression("apply .*")), 28);
    EXPECT_EQ(entries[28], "apply system.ui.appearance=dark @Renamed");

    EXPECT_TRUE(EngineSettings::didApplyAnyProfile());
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), evening->uuid());
    EXPECT_EQ(lastNotice(), "Evening");

    // Asked once only.
    ApplyProfileCommand again(evening, true);
    runTask(again.executeAndWait());
    EXPECT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(profilesNamed("First Profile").size(), 1);
}

TEST_F(ProfileCommandTest, FirstApplyAnsweredNoAppliesWithoutAProfileAndAsksNoMore)
{
    Profile *focus = newProfile("Focus");
    EngineSettings::setLastAppliedProfileID("EARLIER");
    alerts.answer("No");
    ApplyProfileCommand command(focus, false);
    runTask(command.executeAndWait());
    EXPECT_TRUE(profilesNamed("First Profile").isEmpty());
    EXPECT_EQ(registry.journal->entries.filter(QRegularExpression("^read ")).size(), 0);
    EXPECT_EQ(registry.journal->entries.size(), 28);
    EXPECT_TRUE(EngineSettings::didApplyAnyProfile());
    // Not remembered: the Focus filter applies without changing the last applied profile.
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), "EARLIER");

    ApplyProfileCommand second(focus, true);
    runTask(second.executeAndWait());
    EXPECT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), focus->uuid());
}

TEST_F(ProfileCommandTest, CommandsIssuedDuringAnApplyWaitTheirTurnAndTheDockRestartsOncePerApply)
{
    EngineSettings::setDidApplyAnyProfile(true);
    Profile *morning = newProfile("Morning");
    Profile *night = newProfile("Night");
    for (RecordingOptionModel *model : registry.models)
        model->delay = std::chrono::milliseconds(1);
    registry.model("system.finder.folderColor")->setsDockRestart = true;
    registry.model("system.desktop.iconAndWidgetStyle")->setsDockRestart = true;

    ApplyProfileCommand first(morning, true);
    ApplyProfileCommand second(night, true);
    auto a = first.executeAndWait();
    auto b = second.executeAndWait();
    runTask(std::move(b));
    runTask(std::move(a));

    const QStringList &entries = registry.journal->entries;
    ASSERT_EQ(entries.size(), 56);
    for (int index = 0; index < 28; ++index) {
        EXPECT_TRUE(entries[index].endsWith("@Morning"));
        EXPECT_TRUE(entries[28 + index].endsWith("@Night"));
    }
    EXPECT_EQ(dockRestarts, 2);
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), night->uuid());
    EXPECT_TRUE(alerts.alerts().isEmpty());
}

namespace {

// The unattended notices on screen.
QList<QMessageBox *> visibleNotices()
{
    QList<QMessageBox *> notices;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        if (box && box->objectName() == ApplyProfileCommand::noticeName && box->isVisible())
            notices.append(box);
    }
    return notices;
}

} // namespace

TEST_F(ProfileCommandTest, FailedOptionsAreReportedToWhoeverStartedTheApplyAndNeverShownAsApplied)
{
    EngineSettings::setDidApplyAnyProfile(true);
    runTask(ApplyProfileCommand(newProfile("Before"), true).executeAndWait());
    ASSERT_EQ(lastNotice(), "Before");
    Profile *evening = newProfile("Evening");
    registry.model("apps.bear.theme")->fails = true;
    registry.journal->entries.clear();

    // A caller that waits gets the failures and passes them on; every other option was applied, and
    // nothing on screen says the profile was.
    const ApplyResult waited = runTask(ApplyProfileCommand(evening, true).executeAndWait());
    EXPECT_EQ(waited.lines(), QStringList {"Test › apps.bear.theme: refused"});
    EXPECT_EQ(registry.journal->entries.size(), 28);
    spinEventLoop(std::chrono::milliseconds(20));
    EXPECT_EQ(lastNotice(), "Before");
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_TRUE(visibleNotices().isEmpty());

    // A person's apply: an alert once it has ended.
    ApplyProfileCommand(evening, true).execute();
    ASSERT_TRUE(TestSupport::waitUntil([this] { return alerts.alerts().size() == 1; }));
    EXPECT_EQ(registry.journal->entries.size(), 56);
    EXPECT_EQ(alerts.alerts()[0].message, "Applied “Evening”, but 1 of its settings could not be changed:");
    EXPECT_EQ(alerts.alerts()[0].informativeText, "Test › apps.bear.theme: refused");
    EXPECT_EQ(lastNotice(), "Before");

    // The schedule's apply waits for nobody: a notice that needs no answer, the lines on standard
    // error, and a later failure replaces the notice instead of piling up.
    TestSupport::CapturedStandardError log;
    for (int run = 1; run <= 2; ++run) {
        ApplyProfileCommand(evening, true, ProfileOperationQueue::Attendance::unattended).execute();
        ASSERT_TRUE(TestSupport::waitUntil([this, run] {
            return registry.journal->entries.size() == 56 + 28 * run && !visibleNotices().isEmpty();
        }));
    }
    spinEventLoop(std::chrono::milliseconds(20));
    EXPECT_EQ(alerts.alerts().size(), 1);
    const QList<QMessageBox *> notices = visibleNotices();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_FALSE(notices[0]->isModal());
    EXPECT_EQ(notices[0]->text(), "Applied “Evening”, but 1 of its settings could not be changed:");
    EXPECT_EQ(notices[0]->informativeText(), "Test › apps.bear.theme: refused");
    EXPECT_EQ(QString::fromUtf8(log.text())
                  .count("Applied “Evening”, but 1 of its settings could not be changed:\n"
                         "  Test › apps.bear.theme: refused\n"),
              2)
        << log.text().toStdString();
    notices[0]->close();
    EXPECT_EQ(lastNotice(), "Before");

    // An option that a later apply took the place of alarms nobody who made that apply; a caller that
    // waits still hears that it was replaced.
    registry.model("apps.bear.theme")->fails = false;
    registry.model("apps.bear.theme")->onApply = [] {
        throw OptionSupersededError("apps.bear.theme");
    };
    ApplyProfileCommand(evening, true).execute();
    ASSERT_TRUE(TestSupport::waitUntil([this] { return registry.journal->entries.size() == 56 + 28 * 3; }));
    spinEventLoop(std::chrono::milliseconds(20));
    EXPECT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(runTask(ApplyProfileCommand(evening, true).executeAndWait()).text(),
              "Applied “Evening”, but a later apply took the place of 1 of its settings:\n"
              "  Test › apps.bear.theme: A later apply took its place.");
}

TEST_F(ProfileCommandTest, NewProfileIsSelectedShownLoadingAndFilled)
{
    registry.model("system.dock.position")->currentValue = "left";
    registry.model("system.dock.position")->delay = std::chrono::milliseconds(5);
    SelectionModel selection;
    NewProfileCommand command(&selection, context, "Desk", true);
    auto task = command.createProfile();
    const QList<Profile *> created = profilesNamed("Desk");
    ASSERT_EQ(created.size(), 1);
    EXPECT_TRUE(created[0]->isLoading());
    EXPECT_NE(lastNotice(), "Profile Created");
    Profile *profile = runTask(std::move(task));
    EXPECT_EQ(profile, created[0]);
    EXPECT_FALSE(profile->isLoading());
    EXPECT_EQ(profile->options().size(), 28);
    EXPECT_EQ(profile->value("system.dock.position"), "left");
    EXPECT_EQ(lastNotice(), "Profile Created");
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return selection.selectedProfiles() == SelectionModel::Selection({profile}); }));

    // Without a notice, and with the selection model gone, the profile is still made and filled.
    const auto *noticeBefore = KivUtilities::BottomNotificationController::shared().windowController();
    auto gone = std::make_unique<SelectionModel>();
    NewProfileCommand quiet(gone.get(), context, "Script", false);
    gone.reset();
    Profile *scripted = runTask(quiet.createProfile());
    ASSERT_NE(scripted, nullptr);
    EXPECT_EQ(scripted->options().size(), 28);
    EXPECT_EQ(KivUtilities::BottomNotificationController::shared().windowController(), noticeBefore);
}

TEST_F(ProfileCommandTest, DuplicateDeleteAndRefill)
{
    Profile *source = newProfile("Studio");
    source->findOrCreateOption("system.ui.appearance")->setValue("dark");
    source->findOrCreateOption("apps.bear.theme")->setValue("Charcoal");
    source->findOrCreateOption("apps.bear.theme")->setEnabled(false);
    Profile *other = newProfile("Cafe");

    DuplicateCommand duplicate(context, {source, other});
    const QList<Profile *> copies = duplicate.execute();
    ASSERT_EQ(copies.size(), 2);
    EXPECT_EQ(copies[0]->name(), "Studio");
    EXPECT_NE(copies[0]->uuid(), source->uuid());
    EXPECT_EQ(copies[0]->value("system.ui.appearance"), "dark");
    EXPECT_EQ(copies[0]->value("apps.bear.theme"), "Charcoal");
    EXPECT_EQ(copies[1]->name(), "Cafe");
    EXPECT_EQ(source->options().size(), 28);
    EXPECT_EQ(profilesNamed("Studio").size(), 2);

    // Deleting saves at once and clears both selections, even when nothing was chosen.
    SelectionModel selection;
    selection.setSelectedProfiles({source});
    DeleteCommand nothing(&selection, context);
    nothing.execute();
    EXPECT_TRUE(selection.selectedProfiles().isEmpty());
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(context->fetchProfiles().size(), 4);

    selection.setSelectedProfilesForDeletion({source, copies[1]});
    DeleteCommand remove(&selection, context);
    remove.execute();
    EXPECT_TRUE(selection.selectedProfilesForDeletion().isEmpty());
    EXPECT_FALSE(context->hasChanges());
    QStringList names;
    const auto reopened = container.makeContext();
    for (Profile *profile : reopened->fetchProfiles())
        names.append(profile->name());
    names.sort();
    EXPECT_EQ(names, QStringList({"Cafe", "Studio"}));

    // Refilling overwrites values and ends the loading state.
    Profile *copy = copies[0];
    copy->setLoading(true);
    registry.model("system.ui.appearance")->currentValue = "light";
    GetCurrentSettingsCommand refill(copy);
    runTask(refill.execute());
    EXPECT_FALSE(copy->isLoading());
    EXPECT_EQ(copy->value("system.ui.appearance"), "light");
    EXPECT_EQ(copy->value("apps.bear.theme"), "current");
    EXPECT_FALSE(copy->option("apps.bear.theme")->isEnabled());
    EXPECT_EQ(copy->options().size(), 28);
}

TEST_F(ProfileCommandTest, ToggleShowsOffOnlyForFalseAndWritesBothWords)
{
    Profile *profile = newProfile("Toggles");
    Option *option = profile->findOrCreateOption("system.desktop.dock.autoHide");
    ToggleOptionPicker picker("Auto Hide Dock", option);
    EXPECT_TRUE(picker.isOn()) << "the empty text shows on";
    picker.toggle()->click();
    EXPECT_EQ(option->value(), "false");
    picker.toggle()->click();
    EXPECT_EQ(option->value(), "true");
    for (const char *on : {"yes", "FALSE", "False", "0"}) {
        option->setValue(on);
        EXPECT_TRUE(picker.isOn()) << on;
    }
    option->setValue("false");
    EXPECT_FALSE(picker.isOn());
}

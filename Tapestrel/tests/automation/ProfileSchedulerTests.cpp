#include "Tapestrel/tests/engine/RecordingOptionModel.h"

#include "Tapestrel/automation/ProfileScheduler.h"
#include "Tapestrel/model/ApplyProfileCommand.h"
#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/ProfileController.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"

#include "platform/Alerts.h"
#include "platform/CloudKeyValueStore.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

class ProfileSchedulerTest : public TestSupport::TempHomeTest
{
protected:
    ProfileSchedulerTest()
    {
        scheduler.setApplier([this](Profile *profile) { applied.append(profile->name()); });
    }

    Profile *newProfile(const QString &name, bool enabled = true)
    {
        Profile *profile = context->insert(std::make_unique<Profile>(name));
        profile->setEnabled(enabled);
        return profile;
    }
    static ScheduledProfile entry(const QString &id, const Profile *profile, int hour, int minute,
                                  bool enabled = true)
    {
        return {id, profile ? profile->uuid() : QStringLiteral("NO-SUCH-PROFILE"), hour, minute, enabled};
    }
    static QDateTime at(int day, int hour, int minute, int second = 0)
    {
        return QDateTime(QDate(2026, 12, day), QTime(hour, minute, second), QTimeZone::utc());
    }
    void advanceTo(const QDateTime &time)
    {
        now = time;
        scheduler.checkDueEntries();
    }

    QDateTime now = at(7, 6, 0);
    Platform::CloudKeyValueStore cloud {home.filePath("cloud.plist")};
    SynchronizedOptionsStore options {cloud};
    ModelContainer container {home.filePath("data.sqlite")};
    ModelContext *context = container.mainContext();
    ProfileScheduler scheduler {options, context, [this] { return now; }, QTimeZone::utc()};
    QStringList applied;
};

} // namespace

TEST_F(ProfileSchedulerTest, FiresOnlyEnabledEntriesOfEnabledExistingProfilesAtTheirTime)
{
    Profile *evening = newProfile("Evening");
    Profile *night = newProfile("Night", false);
    Profile *morning = newProfile("Morning");
    options.setScheduledProfiles({entry("a", evening, 18, 30), entry("b", night, 18, 30),
                                  entry("c", nullptr, 18, 30), entry("d", morning, 18, 30, false)});

    ASSERT_TRUE(scheduler.armedEntry());
    EXPECT_EQ(scheduler.armedEntry()->id, "a");
    EXPECT_EQ(scheduler.armedFireDate(), std::optional(at(7, 18, 30)));
    // The timer never sleeps longer than a minute, so a changed clock is noticed soon.
    EXPECT_TRUE(scheduler.isTimerActive());
    EXPECT_EQ(scheduler.timerInterval(), ProfileScheduler::maximumSleepMilliseconds);

    advanceTo(at(7, 18, 29, 59));
    EXPECT_TRUE(applied.isEmpty());
    advanceTo(at(7, 18, 30));
    EXPECT_EQ(applied, QStringList({"Evening"}));
    // Armed again at once, for tomorrow.
    EXPECT_EQ(scheduler.armedFireDate(), std::optional(at(8, 18, 30)));
    advanceTo(at(7, 18, 31));
    EXPECT_EQ(applied, QStringList({"Evening"}));

    // A profile switched off after it was scheduled is skipped; one deleted as well.
    evening->setEnabled(false);
    advanceTo(at(8, 18, 30));
    EXPECT_EQ(applied, QStringList({"Evening"}));
    evening->setEnabled(true);
    context->remove(evening);
    advanceTo(at(9, 18, 30));
    EXPECT_EQ(applied, QStringList({"Evening"}));

    // No enabled entry: nothing armed, no timer.
    options.setScheduledProfiles({entry("d", morning, 7, 0, false)});
    EXPECT_FALSE(scheduler.armedEntry());
    EXPECT_FALSE(scheduler.isTimerActive());
}

TEST_F(ProfileSchedulerTest, EveryAssignmentOfTheListRearmsFromNow)
{
    Profile *evening = newProfile("Evening");
    Profile *morning = newProfile("Morning");
    options.setScheduledProfiles({entry("a", evening, 20, 0)});
    EXPECT_EQ(scheduler.armedFireDate(), std::optional(at(7, 20, 0)));

    options.setScheduledProfiles({entry("a", evening, 20, 0), entry("b", morning, 6, 10)});
    EXPECT_EQ(scheduler.armedEntry()->id, "b");
    EXPECT_EQ(scheduler.armedFireDate(), std::optional(at(7, 6, 10)));
    EXPECT_EQ(scheduler.timerInterval(), 60 * 1000);

    // The list changes after 06:10 passed unnoticed (the machine slept): the old entry still fires,
    // once; the new entry, whose time today has passed as well, waits for tomorrow.
    now = at(7, 6, 20);
    options.setScheduledProfiles({entry("a", evening, 20, 0), entry("c", morning, 6, 15)});
    EXPECT_EQ(applied, QStringList({"Morning"}));
    EXPECT_EQ(scheduler.armedEntry()->id, "a");

    now = at(7, 20, 0, 30);
    options.setScheduledProfiles({entry("c", morning, 6, 15)});
    EXPECT_EQ(applied, QStringList({"Morning", "Evening"}));
    EXPECT_EQ(scheduler.armedFireDate(), std::optional(at(8, 6, 15)));

    // The timer wakes exactly at a due time closer than a minute.
    now = at(8, 6, 14, 58);
    options.setScheduledProfiles({entry("c", morning, 6, 15)});
    EXPECT_EQ(scheduler.timerInterval(), 2000);

    options.setScheduledProfiles({});
    EXPECT_FALSE(scheduler.armedEntry());
    EXPECT_FALSE(scheduler.isTimerActive());
}

TEST_F(ProfileSchedulerTest, EntriesDueTogetherAllFireInListOrderAndNeverTwice)
{
    Profile *first = newProfile("First");
    Profile *second = newProfile("Second");
    Profile *third = newProfile("Third");
    options.setScheduledProfiles(
        {entry("x", second, 9, 0), entry("y", first, 9, 0), entry("z", third, 9, 0, false)});
    EXPECT_EQ(scheduler.armedEntry()->id, "x");

    advanceTo(at(7, 9, 0, 1));
    EXPECT_EQ(applied, QStringList({"Second", "First"}));
    advanceTo(at(7, 9, 0, 2));
    EXPECT_EQ(applied, QStringList({"Second", "First"}));

    // The clock is set back over the time that fired: that occurrence does not fire again.
    advanceTo(at(7, 8, 55));
    advanceTo(at(7, 9, 1));
    EXPECT_EQ(applied, QStringList({"Second", "First"}));
    // The next day's does.
    advanceTo(at(8, 9, 0));
    EXPECT_EQ(applied, QStringList({"Second", "First", "Second", "First"}));
}

TEST_F(ProfileSchedulerTest, TimeJumpedOverOrSleptThroughFiresOnceAtTheNextLook)
{
    Profile *evening = newProfile("Evening");
    Profile *morning = newProfile("Morning");
    options.setScheduledProfiles({entry("a", evening, 18, 0), entry("b", morning, 7, 0)});

    // Three days asleep: each entry fires once, not once per missed day.
    advanceTo(at(10, 12, 0));
    EXPECT_EQ(applied, QStringList({"Evening", "Morning"}));
    EXPECT_EQ(scheduler.armedFireDate(), std::optional(at(10, 18, 0)));

    // The clock jumps over 18:00 while the timer still sleeps: the timer's own wake-up notices it.
    scheduler.setMaximumSleep(std::chrono::milliseconds(50));
    scheduler.checkDueEntries();
    now = at(10, 18, 5);
    ASSERT_TRUE(scheduler.isTimerActive());
    EXPECT_TRUE(TestSupport::waitUntil([this] { return applied.size() >= 3; }, std::chrono::seconds(10)));
    EXPECT_EQ(applied, QStringList({"Evening", "Morning", "Evening"}));
}

TEST_F(ProfileSchedulerTest, FiringAppliesTheProfileThroughTheApplyCommandAndRemembersIt)
{
    EngineTests::RecordingRegistry registry;
    OptionStore::setShared(&registry.store);
    ProfileController::setDockRestart([]() -> QCoro::Task<void> { co_return; });
    EngineSettings::setDidApplyAnyProfile(true);
    EngineSettings::setLastAppliedProfileID("EARLIER");
    Platform::ScriptedAlertAnswerer alerts;

    Profile *evening = newProfile("Evening");
    evening->findOrCreateOption("system.ui.appearance")->setValue("dark");
    evening->findOrCreateOption("apps.bear.theme")->setValue("Charcoal");
    registry.model("apps.bear.theme")->fails = true;
    ProfileScheduler realScheduler(
        options, context, [this] { return now; }, QTimeZone::utc());
    options.setScheduledProfiles({entry("a", evening, 6, 30)});
    now = at(7, 6, 30);
    realScheduler.checkDueEntries();

    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return registry.journal->entries.contains("apply system.ui.appearance=dark @Evening"); },
        std::chrono::seconds(10)));
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), evening->uuid());

    // Nobody may be there: what failed is shown in the notice that waits for no answer (as the apply
    // command's tests read it), not in an alert.
    QPointer<QWidget> notice;
    ASSERT_TRUE(TestSupport::waitUntil([&notice] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == ApplyProfileCommand::noticeName && widget->isVisible())
                notice = widget;
        }
        return !notice.isNull();
    }));
    notice->close();
    EXPECT_TRUE(alerts.alerts().isEmpty());

    OptionStore::setShared(nullptr);
    ProfileController::setDockRestart({});
}

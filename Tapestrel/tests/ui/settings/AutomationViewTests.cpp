#include "Tapestrel/ui/settings/AutomationView.h"
#include "Tapestrel/ui/settings/ScheduledProfileRow.h"

#include "Tapestrel/automation/ProfileScheduler.h"
#include "Tapestrel/tests/ui/UiFixture.h"
#include "Tapestrel/ui/TimeLabel.h"
#include "Tapestrel/ui/TimePicker.h"
#include "Tapestrel/widgets/ColorLabel.h"
#include "platform/Alerts.h"
#include "testsupport/RunTask.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QTest>
#include <QTimeEdit>
#include <QToolButton>
#include <QUuid>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class AutomationTest : public UiTests::UiTest
{
protected:
    using UiTests::UiTest::entry;

    static ScheduledProfile entry(const QString &id, const QString &profileID, int hour, int minute,
                                  bool enabled = true)
    {
        return {id, profileID, hour, minute, enabled};
    }
    // The rows as "HH:MM name" in the order shown.
    static QStringList shown(const AutomationView &page)
    {
        QStringList texts;
        for (ScheduledProfileRow *row : page.rows())
            texts.append(row->timeLabel()->shownText() + " " + row->entryID());
        return texts;
    }
    static QStringList menuTexts(AutomationView &page)
    {
        emit page.addMenu()->aboutToShow();
        return entries(page.addMenu());
    }
    // What the cloud store holds, as another machine would read it.
    QList<ScheduledProfile> stored()
    {
        Platform::CloudKeyValueStore reader(home.filePath("cloud.plist"));
        return ScheduledProfile::decodeList(reader.value("scheduledProfiles").toByteArray());
    }

    QDateTime now {QDate(2026, 12, 7), QTime(9, 5, 59), QTimeZone::utc()};
    ProfileScheduler scheduler {options, context, [this] { return now; }, QTimeZone::utc()};
};

} // namespace

TEST_F(AutomationTest, AddingAnEntryForAnEnabledProfileAtThePresentTime)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto restore = qScopeGuard([&previous] { QLocale::setDefault(previous); });
    Profile *night = newProfile("Night");
    Profile *day = newProfile("day & dusk");
    for (const char *name : {"Profile 10", "\u00c9mile", "Profile 2", "emma", "apple"})
        newProfile(QString::fromUtf8(name));
    Profile *off = newProfile("Alpha");
    off->setEnabled(false);

    AutomationView page(&options, context);
    page.setClock([this] { return now; });
    page.resize(600, 250);
    page.show();

    // No entries: the hint and no list.
    EXPECT_FALSE(page.emptyText()->isHidden());
    EXPECT_TRUE(page.list()->isHidden());
    TestSupport::spinEventLoop(0ms);
    TestSupport::saveScreenshot(&page, "settings/automation-empty");

    // The menu: enabled profiles by name as the user's language sorts them (as the switcher does),
    // names shown as they are.
    EXPECT_EQ(menuTexts(page).at(1), "day && dusk");
    QStringList menuNames;
    for (QAction *action : page.addMenu()->actions())
        menuNames.append(action->iconText());
    EXPECT_EQ(menuNames,
              QStringList({"apple", "day & dusk", "\u00c9mile", "emma", "Night", "Profile 2", "Profile 10"}));

    UiTests::UiTest::entry(page.addMenu(), "Night")->trigger();
    const QList<ScheduledProfile> entries = options.scheduledProfiles();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].profileID, night->uuid());
    EXPECT_EQ(entries[0].hour, 9);
    EXPECT_EQ(entries[0].minute, 5);
    EXPECT_TRUE(entries[0].isEnabled);
    EXPECT_FALSE(QUuid::fromString(entries[0].id).isNull());
    EXPECT_EQ(stored(), entries);
    EXPECT_EQ(page.editingScheduledProfileID(), entries[0].id);

    // The list replaces the hint, the new row with its editor open.
    EXPECT_TRUE(page.emptyText()->isHidden());
    EXPECT_FALSE(page.list()->isHidden());
    ASSERT_EQ(page.rows().size(), 1);
    EXPECT_TRUE(page.rows()[0]->isEditingTime());
    EXPECT_EQ(page.rows()[0]->nameLabel()->text(), "Night");
    // 32 points high with its editor open too, as every row, whatever the font: the list does not
    // jump, and what a large font cannot fit in is cut evenly, not pushed into the next row.
    const QFont font = page.font();
    for (const int points : {0, 20}) {
        QFont large = font;
        if (points)
            large.setPointSize(points);
        page.setFont(large);
        TestSupport::spinEventLoop(0ms);
        ScheduledProfileRow *row = page.rows()[0];
        TimeLabel *time = row->timeLabel();
        // Opened again at this size, the editor is placed anew, with the room it asks for.
        for (const bool reopened : {false, true}) {
            if (reopened) {
                time->setEditing(false);
                TestSupport::spinEventLoop(0ms);
                row->changeTime();
                TestSupport::spinEventLoop(0ms);
            }
            EXPECT_EQ(row->height(), 32) << points;
            EXPECT_NEAR(time->mapTo(row, QRectF(time->rect()).center()).y(), 16, 1) << points;
            EXPECT_GE(time->height(), time->minimumSizeHint().height()) << points;
        }
    }
    TestSupport::saveScreenshot(&page, "settings/automation-20pt");
    page.setFont(font);
    // The scheduler follows the store by itself.
    ASSERT_TRUE(scheduler.armedEntry());
    EXPECT_EQ(scheduler.armedEntry()->id, entries[0].id);

    // A second entry goes to the end of the stored list; only the new row opens its editor.
    page.rows()[0]->timeLabel()->doneButton()->click();
    EXPECT_EQ(page.editingScheduledProfileID(), std::nullopt);
    now = QDateTime(QDate(2026, 12, 7), QTime(7, 0), QTimeZone::utc());
    page.add(day);
    ASSERT_EQ(options.scheduledProfiles().size(), 2);
    EXPECT_EQ(options.scheduledProfiles()[0], entries[0]);
    EXPECT_EQ(options.scheduledProfiles()[1].profileID, day->uuid());
    ASSERT_EQ(page.rows().size(), 2);
    EXPECT_EQ(page.rows()[0]->nameLabel()->text(), "day & dusk"); // 07:00 before 09:05
    EXPECT_TRUE(page.rows()[0]->isEditingTime());
    EXPECT_FALSE(page.rows()[1]->isEditingTime());

    // A third one, last in time, is scrolled into view within the page's own height.
    now = QDateTime(QDate(2026, 12, 7), QTime(23, 0), QTimeZone::utc());
    page.add(night);
    ASSERT_EQ(page.rows().size(), 3);
    ScheduledProfileRow *added = page.rows()[2];
    EXPECT_TRUE(added->isEditingTime());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return added->visibleRegion() == QRegion(added->rect()); }, 1s));
    EXPECT_EQ(page.height(), 250);
    TestSupport::saveScreenshot(&page, "settings/automation");
}

// Up on the hour of an entry just added, past an entry later in the day, moves its row down the list;
// the row stays in view, its editor open.
TEST_F(AutomationTest, ARowThatANewTimeMovesStaysInViewWithItsEditorOpen)
{
    Profile *profile = newProfile("Work");
    options.setScheduledProfiles({entry("A", profile->uuid(), 7, 0), entry("B", profile->uuid(), 21, 30)});
    AutomationView page(&options, context);
    now = QDateTime(QDate(2026, 12, 7), QTime(21, 5), QTimeZone::utc());
    page.setClock([this] { return now; });
    page.resize(600, 250);
    page.show();
    page.add(profile);
    ASSERT_EQ(page.rows().size(), 3);
    ScheduledProfileRow *added = page.rows()[1];
    const auto inView = [&] {
        return added->visibleRegion() == QRegion(added->rect());
    };
    ASSERT_TRUE(TestSupport::waitUntil(inView, 1s));

    QTest::keyClick(added->timeLabel()->picker()->editor(), Qt::Key_Up);
    EXPECT_EQ(shown(page), QStringList({"07:00 A", "21:30 B", "22:05 " + added->entryID()}));
    EXPECT_TRUE(added->isEditingTime());
    // Once the list has placed the row last.
    EXPECT_TRUE(TestSupport::waitUntil([&] { return added->y() > page.rows()[1]->y() && inView(); }, 1s));
}

TEST_F(AutomationTest, RowsInTimeOrderAndRetimingChangesOnlyThatEntry)
{
    Profile *profile = newProfile("Work");
    const QString uuid = profile->uuid();
    options.setScheduledProfiles({entry("A", uuid, 8, 0), entry("B", uuid, 7, 30), entry("C", uuid, 8, 0)});
    AutomationView page(&options, context);
    page.resize(600, 250);
    page.show();
    EXPECT_EQ(shown(page), QStringList({"07:30 B", "08:00 A", "08:00 C"}));

    // Editing B's time writes each change through at once and moves the row, editor still open.
    ScheduledProfileRow *b = page.rows()[0];
    b->changeTime();
    EXPECT_TRUE(b->isEditingTime());
    b->timeLabel()->picker()->editor()->setTime(QTime(8, 45));
    EXPECT_EQ(
        options.scheduledProfiles(),
        QList<ScheduledProfile>({entry("A", uuid, 8, 0), entry("B", uuid, 8, 45), entry("C", uuid, 8, 0)}));
    EXPECT_EQ(stored(), options.scheduledProfiles());
    EXPECT_EQ(shown(page), QStringList({"08:00 A", "08:00 C", "08:45 B"}));
    EXPECT_EQ(page.rows()[2], b);
    EXPECT_TRUE(b->isEditingTime());
    ASSERT_TRUE(scheduler.armedEntry());
    EXPECT_EQ(scheduler.armedEntry()->id, "A");

    // Disabling and enabling through the context menu.
    ScheduledProfileRow *a = page.rows()[0];
    std::unique_ptr<QMenu> menu(a->makeContextMenu());
    EXPECT_EQ(entries(menu.get()), QStringList({"Change Time", "Disable", "Remove"}));
    entry(menu.get(), "Disable")->trigger();
    EXPECT_EQ(options.scheduledProfiles(),
              QList<ScheduledProfile>(
                  {entry("A", uuid, 8, 0, false), entry("B", uuid, 8, 45), entry("C", uuid, 8, 0)}));
    EXPECT_TRUE(a->isDimmed());
    EXPECT_FALSE(page.rows()[1]->isDimmed());
    EXPECT_EQ(scheduler.armedEntry()->id, "C"); // the scheduler leaves the disabled entry out
    menu.reset(a->makeContextMenu());
    EXPECT_EQ(entries(menu.get()), QStringList({"Change Time", "Enable", "Remove"}));
    entry(menu.get(), "Enable")->trigger();
    EXPECT_TRUE(options.scheduledProfiles()[0].isEnabled);
    EXPECT_FALSE(a->isDimmed());

    // An entry removed elsewhere: a late edit of its row changes nothing.
    options.setScheduledProfiles({entry("A", uuid, 8, 0), entry("C", uuid, 8, 0)});
    const auto before = options.scheduledProfiles();
    b->setEntryEnabled(false);
    b->timeLabel()->picker()->editor()->setTime(QTime(6, 0));
    EXPECT_EQ(options.scheduledProfiles(), before);
    TestSupport::spinEventLoop(0ms); // the row of the vanished entry goes
    EXPECT_EQ(shown(page), QStringList({"08:00 A", "08:00 C"}));
}

TEST_F(AutomationTest, RemovingAsksFirstAndTakesEveryEntryWithThatId)
{
    Profile *profile = newProfile("Work");
    const QString uuid = profile->uuid();
    options.setScheduledProfiles({entry("A", uuid, 10, 0), entry("D", uuid, 11, 0), entry("A", uuid, 12, 0)});
    AutomationView page(&options, context);
    page.show();
    Platform::ScriptedAlertAnswerer alerts;

    // A write through a row goes to the first entry with its id only.
    page.rows()[0]->setEntryEnabled(false);
    EXPECT_EQ(options.scheduledProfiles(),
              QList<ScheduledProfile>(
                  {entry("A", uuid, 10, 0, false), entry("D", uuid, 11, 0), entry("A", uuid, 12, 0)}));

    alerts.answer("Cancel");
    std::unique_ptr<QMenu> menu(page.rows()[1]->makeContextMenu());
    entry(menu.get(), "Remove")->trigger();
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts()[0].message, "Are you sure you want to remove this schedule?");
    EXPECT_EQ(alerts.alerts()[0].informativeText, "This operation cannot be undone.");
    EXPECT_EQ(alerts.alerts()[0].buttons, QStringList({"Remove", "Cancel"}));
    EXPECT_EQ(options.scheduledProfiles().size(), 3);

    alerts.answer("Remove");
    page.rows()[0]->askToRemove();
    EXPECT_EQ(options.scheduledProfiles(), QList<ScheduledProfile>({entry("D", uuid, 11, 0)}));
    EXPECT_EQ(stored(), options.scheduledProfiles());
    TestSupport::spinEventLoop(0ms);
    EXPECT_EQ(shown(page), QStringList({"11:00 D"}));

    alerts.answer("Remove");
    page.rows()[0]->askToRemove();
    EXPECT_TRUE(options.scheduledProfiles().isEmpty());
    EXPECT_FALSE(page.emptyText()->isHidden());
    EXPECT_FALSE(scheduler.armedEntry());
}

TEST_F(AutomationTest, WarningsForDisabledAndMissingProfiles)
{
    Profile *work = newProfile("Work");
    Profile *evening = newProfile("Evening");
    evening->setEnabled(false);
    context->save();
    options.setScheduledProfiles({entry("A", work->uuid(), 8, 0), entry("B", evening->uuid(), 9, 0),
                                  entry("C", "no-such-profile", 10, 0)});
    AutomationView page(&options, context);
    page.resize(600, 250);
    page.show();
    TestSupport::spinEventLoop(0ms);
    TestSupport::saveScreenshot(&page, "settings/automation-warnings");

    ASSERT_EQ(page.rows().size(), 3);
    ScheduledProfileRow *a = page.rows()[0];
    ScheduledProfileRow *b = page.rows()[1];
    ScheduledProfileRow *c = page.rows()[2];
    EXPECT_FALSE(a->nameLabel()->isHidden());
    EXPECT_TRUE(a->disabledTag()->isHidden());
    EXPECT_TRUE(a->missingLabel()->isHidden());

    EXPECT_EQ(b->nameLabel()->text(), "Evening");
    EXPECT_FALSE(b->disabledTag()->isHidden());

    EXPECT_TRUE(c->nameLabel()->isHidden());
    EXPECT_TRUE(c->disabledTag()->isHidden());
    EXPECT_FALSE(c->missingLabel()->isHidden());

    // The rows follow the profiles while the page is open.
    evening->setEnabled(true);
    context->remove(work);
    TestSupport::spinEventLoop(0ms);
    EXPECT_TRUE(b->disabledTag()->isHidden());
    EXPECT_FALSE(a->missingLabel()->isHidden());
    EXPECT_TRUE(a->nameLabel()->isHidden());
    EXPECT_EQ(options.scheduledProfiles().size(), 3); // entries stay until the user removes them
}

TEST_F(AutomationTest, ProfilesAreLookedUpInTheStoreOpenNow)
{
    // A data reset replaces the program's store: the page asks for the current one each time.
    Profile *old = newProfile("Old");
    options.setScheduledProfiles({entry("A", old->uuid(), 8, 0)});
    ModelContainer fresh(home.filePath("fresh.sqlite"));
    ModelContext *current = context;
    AutomationView page(&options, [&current] { return current; });
    page.show();
    ASSERT_EQ(page.rows().size(), 1);
    EXPECT_EQ(page.rows()[0]->nameLabel()->text(), "Old");

    current = fresh.mainContext();
    auto *replacement = current->insert(std::make_unique<Profile>("New"));
    replacement->setUuid(old->uuid());
    page.hide();
    page.show();
    TestSupport::spinEventLoop(0ms);
    EXPECT_EQ(page.rows()[0]->nameLabel()->text(), "New");
    emit page.addMenu()->aboutToShow();
    EXPECT_EQ(entries(page.addMenu()), QStringList({"New"}));
}

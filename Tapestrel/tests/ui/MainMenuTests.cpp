#include "Tapestrel/tests/ui/UiFixture.h"

#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/ui/MainMenuCommands.h"
#include "Tapestrel/ui/MainWindow.h"
#include "Tapestrel/ui/ProfileEditor.h"
#include "platform/Alerts.h"
#include "testsupport/RunTask.h"

#include <QMenuBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class MainMenuTest : public UiTests::UiTest
{
protected:
    MainMenuTest() { QCoreApplication::setApplicationName("Tapestrel"); }
    ~MainMenuTest() override { QCoreApplication::setApplicationName(m_name); }

    QMenu *menu(const char *title) const
    {
        QMenu *found = commands->menu(QString::fromLatin1(title));
        EXPECT_NE(found, nullptr) << title;
        return found;
    }
    // The enabled state of each item of a menu, dividers left out.
    static QList<bool> enabled(const QMenu *menu)
    {
        QList<bool> states;
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                states.append(action->isEnabled());
        }
        return states;
    }

    QString m_name = QCoreApplication::applicationName();
    SelectionModel selection;
    Defaults defaults;
    MainWindow window {&selection, context, &defaults, &options};
    MainMenuCommands *commands = new MainMenuCommands(&window, &selection, context, &defaults, {});
};

TEST_F(MainMenuTest, MenusHoldTheirItemsInOrderWithShortcuts)
{
    QStringList titles;
    for (QAction *action : commands->menuBar()->actions())
        titles.append(action->text());
    EXPECT_EQ(titles, QStringList({"Tapestrel", "File", "Profile", "View", "Help"}));

    EXPECT_EQ(entries(menu("Tapestrel")),
              QStringList({"About Tapestrel", "-", "Check for Updates...", "-", "Join Newsletter",
                           "Get More Apps", "-", "Settings...", "-", "Quit Tapestrel"}));
    EXPECT_EQ(entry(menu("Tapestrel"), "Quit Tapestrel")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    EXPECT_EQ(entries(menu("File")), QStringList({"New Profile", "Duplicate", "-", "Delete"}));
    EXPECT_EQ(entry(menu("File"), "New Profile")->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(entry(menu("File"), "Duplicate")->shortcut(), QKeySequence("Ctrl+D"));
    EXPECT_EQ(entry(menu("File"), "Delete")->shortcuts(),
              QList<QKeySequence>({QKeySequence("Ctrl+Backspace"), QKeySequence("Ctrl+Del")}));

    EXPECT_EQ(entries(menu("Profile")),
              QStringList({"Apply Profile", "Get Current Settings", "-", "Disable", "-", "Copy Theme List"}));
    EXPECT_EQ(entry(menu("Profile"), "Apply Profile")->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_TRUE(entry(menu("Profile"), "Get Current Settings")->shortcut().isEmpty());

    EXPECT_EQ(entries(menu("View")), QStringList({"-", "Background", "System", "Apps", "Tools"}));
    EXPECT_EQ(entries(menu("Help")),
              QStringList({"What's New?", "Join the Tapestrel Community", "Send Feedback"}));

    for (const char *title : {"Tapestrel", "File", "Profile", "View", "Help"}) {
        QMenu *shown = menu(title);
        shown->adjustSize();
        saveScreenshot(shown, QStringLiteral("main-menu/%1").arg(QString::fromLatin1(title)));
    }
}

TEST_F(MainMenuTest, ProfileItemsFollowTheSelection)
{
    Profile *a = newProfile("Alpha");
    Profile *b = newProfile("Beta");
    context->save();

    // Nothing selected: only New Profile and the toggle (reading "Disable") are enabled.
    EXPECT_EQ(enabled(menu("File")), QList<bool>({true, false, false}));
    EXPECT_EQ(enabled(menu("Profile")), QList<bool>({false, false, true, false}));
    EXPECT_EQ(entries(menu("Profile"))[3], "Disable");

    selection.setSelectedProfiles({a});
    EXPECT_EQ(enabled(menu("File")), QList<bool>({true, true, true}));
    EXPECT_EQ(enabled(menu("Profile")), QList<bool>({true, true, true, true}));

    b->setEnabled(false);
    selection.setSelectedProfiles({a, b});
    EXPECT_EQ(enabled(menu("File")), QList<bool>({true, true, true}));
    EXPECT_EQ(enabled(menu("Profile")), QList<bool>({false, false, true, false}));
    EXPECT_EQ(entries(menu("Profile"))[3], "Enable");
    entry(menu("Profile"), "Enable")->trigger();
    EXPECT_TRUE(a->isEnabled() && b->isEnabled());
    // The same item, with the selection unchanged, now names and does the opposite; so does a
    // change made elsewhere.
    ASSERT_EQ(entries(menu("Profile"))[3], "Disable");
    entry(menu("Profile"), "Disable")->trigger();
    EXPECT_FALSE(a->isEnabled() || b->isEnabled());
    EXPECT_EQ(entries(menu("Profile"))[3], "Enable");
    a->setEnabled(true);
    b->setEnabled(true);
    EXPECT_EQ(entries(menu("Profile"))[3], "Disable");

    // What a rebuild replaces is deleted: many changes of the selection leave as much behind as one.
    const auto menuObjects = [&] {
        return commands->menuBar()->findChildren<QObject *>().size();
    };
    selection.setSelectedProfiles({b});
    const qsizetype once = menuObjects();
    for (int change = 0; change < 20; ++change)
        selection.setSelectedProfiles({change % 2 ? b : a});
    EXPECT_EQ(menuObjects(), once);

    // The shortcut applies the one selected profile (no first-apply question: answered before).
    Platform::ScriptedAlertAnswerer answerer;
    defaults.setDidApplyAnyProfile(true);
    selection.setSelectedProfiles({a});
    a->findOrCreateOption("system.ui.appearance")->setValue("Dark");
    window.show();
    window.activateWindow();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return QApplication::activeWindow() == &window; }));
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return registry.journal->entries.contains("apply system.ui.appearance=Dark @Alpha"); }));
    EXPECT_EQ(defaults.lastAppliedProfileID(), a->uuid());
}

// The View menu's tab items and the editor's tabs are one choice: each item shows the editor's tab
// of its place and title, and the editor's tab chosen by hand checks its item.
TEST_F(MainMenuTest, EditorTabItemsAndTheEditorsTabsAreOneChoice)
{
    auto checked = [&] {
        QStringList titles;
        for (QAction *action : menu("View")->actions()) {
            if (action->isChecked())
                titles.append(action->text());
        }
        return titles;
    };
    EXPECT_TRUE(checked().isEmpty());
    Profile *profile = newProfile("Alpha");
    context->save();
    selection.setSelectedProfiles({profile});
    ASSERT_NE(window.editor(), nullptr);
    QTabWidget *tabs = window.editor()->tabs();

    QList<QAction *> items;
    for (QAction *action : menu("View")->actions()) {
        if (action->isCheckable())
            items.append(action);
    }
    ASSERT_EQ(items.size(), tabs->count());
    for (qsizetype place : {1, 3, 0, 2}) {
        QAction *action = items[place];
        SCOPED_TRACE(action->text().toStdString());
        EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | (Qt::Key_1 + int(place))));
        action->trigger();
        EXPECT_EQ(tabs->currentIndex(), place);
        EXPECT_EQ(tabs->tabText(int(place)), action->text());
        EXPECT_EQ(checked(), QStringList {action->text()});
    }
    // Chosen in the editor: the check mark follows.
    tabs->setCurrentIndex(1);
    EXPECT_EQ(checked(), QStringList {tabs->tabText(1)});
}

// A window's menus made for a start hold their titles only until they are filled: at once when one
// opens first, once only, and the switcher item follows the tray as it is then.
TEST_F(MainMenuTest, MenusFilledLaterHoldTheSameItems)
{
    auto titlesOf = [](const QMenuBar *bar) {
        QStringList titles;
        for (QAction *action : bar->actions())
            titles.append(action->text());
        return titles;
    };
    auto switcherItems = [](const QMenu *view) {
        int count = 0;
        for (QAction *action : view->actions())
            count += action->text() == QLatin1String("Profile Switcher");
        return count;
    };
    struct Case
    {
        const char *name;
        bool trayAvailable;
        bool openFirst; // a menu opens before fillMenus()
    };
    for (const Case &with : {Case {"no tray, filled", false, false}, Case {"tray, opened first", true, true},
                             Case {"no tray, opened first", false, true}}) {
        SCOPED_TRACE(with.name);
        MainWindow later {&selection, context, &defaults, &options};
        MainMenuCommands::Services services;
        int trayAsked = 0;
        services.showProfileSwitcher = [] {
        };
        services.isSystemTrayAvailable = [&trayAsked, &with] {
            ++trayAsked;
            return with.trayAvailable;
        };
        auto *deferred = new MainMenuCommands(&later, &selection, context, &defaults, services,
                                              MainMenuCommands::Items::Later);
        EXPECT_EQ(titlesOf(deferred->menuBar()), titlesOf(commands->menuBar()));
        // The bar looks the same before its menus have items.
        for (QMenuBar *bar : {deferred->menuBar(), commands->menuBar()})
            bar->resize(600, bar->sizeHint().height());
        EXPECT_EQ(deferred->menuBar()->grab().toImage(), commands->menuBar()->grab().toImage());
        for (QAction *action : deferred->menuBar()->actions())
            EXPECT_TRUE(action->menu()->actions().isEmpty()) << action->text().toStdString();
        EXPECT_EQ(trayAsked, 0);

        QMenu *file = deferred->menu("File");
        if (with.openFirst) {
            file->popup(QPoint(0, 0));
            EXPECT_EQ(entries(file), entries(menu("File")));
            file->close();
        }
        deferred->fillMenus();
        deferred->fillMenus();
        EXPECT_EQ(trayAsked, 1);
        for (const char *title : {"Tapestrel", "File", "Profile", "Help"})
            EXPECT_EQ(entries(deferred->menu(QString::fromLatin1(title))), entries(menu(title))) << title;
        QMenu *view = deferred->menu("View");
        EXPECT_EQ(switcherItems(view), with.trayAvailable ? 0 : 1);
        EXPECT_EQ(switcherItems(menu("View")), 0); // no switcher service given
        EXPECT_EQ(entry(file, "New Profile")->shortcut(), QKeySequence("Ctrl+N"));

        // The profile items follow the selection from then on, as the others do.
        Profile *profile = newProfile("Later");
        context->save();
        selection.setSelectedProfiles({profile});
        EXPECT_TRUE(entry(deferred->menu("Profile"), "Apply Profile")->isEnabled());
        selection.setSelectedProfiles({});
        EXPECT_FALSE(entry(deferred->menu("Profile"), "Apply Profile")->isEnabled());
    }
}

} // namespace

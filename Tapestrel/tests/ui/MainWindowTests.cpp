#include "UiFixture.h"

#include "KivApp/WindowRoom.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/model/ShowProfileNotification.h"
#include "Tapestrel/ui/AppDelegate.h"
#include "Tapestrel/ui/MainWindow.h"
#include "Tapestrel/ui/ProfileEditor.h"
#include "Tapestrel/widgets/EditorPicker.h"
#include "platform/Alerts.h"
#include "platform/UserDefaults.h"
#include "testsupport/RunTask.h"
#include "testsupport/SessionSave.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QtTest/qtestspontaneevent.h>

#include <algorithm>

#include <gtest/gtest.h>

using TestSupport::waitUntil;
using namespace std::chrono_literals;

namespace {

class MainWindowTest : public UiTests::UiTest
{
protected:
    SelectionModel selection;
};

TEST_F(MainWindowTest, EditorTabFollowsTheActiveEditorTabSetting)
{
    Defaults defaults;
    defaults.setActiveEditorTab("apps");
    Profile *profile = newProfile("Work");
    ProfileEditor editor(profile, &defaults, &options, &appConfigs);
    EXPECT_EQ(editor.currentTag(), "apps");
    QTabWidget *tabs = editor.tabs();
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles.append(tabs->tabText(i));
    EXPECT_EQ(titles, QStringList({"Background", "System", "Apps", "Tools"}));

    tabs->setCurrentIndex(3);
    EXPECT_EQ(defaults.activeEditorTab(), std::optional<QString>("developer"));

    // A change made elsewhere moves the editor.
    Defaults other;
    other.setActiveEditorTab("system");
    EXPECT_TRUE(waitUntil([&] { return editor.currentTag() == "system"; }));

    // An unknown tag shows the first tab.
    other.setActiveEditorTab("nonsense");
    EXPECT_TRUE(waitUntil([&] { return editor.currentTag() == "background"; }));
}

TEST_F(MainWindowTest, SystemTabShowsEveryRowInItsGroupAndOrder)
{
    Defaults defaults;
    defaults.setActiveEditorTab("system");
    Profile *profile = newProfile("Work");
    ProfileEditor editor(profile, &defaults, &options);
    editor.resize(520, 640);

    QStringList groups;
    QStringList keys;
    for (QGroupBox *box : editor.findChildren<QGroupBox *>()) {
        groups.append(box->title());
        for (EditorPicker *row : box->findChildren<EditorPicker *>())
            keys.append(row->key());
    }
    EXPECT_EQ(groups, QStringList({"Appearance", "Desktop", "Dock", "Misc"}));
    EXPECT_EQ(keys,
              QStringList({"system.ui.appearance", "system.desktop.liquidGlassStyle", "system.ui.accentColor",
                           "system.desktop.iconAndWidgetStyle", "system.finder.folderColor",
                           "system.desktop.stageManager.enable", "system.ui.desktop.ShowWidgets",
                           "system.ui.desktop.ShowIcons", "system.desktop.dock.autoHide", "system.dock.size",
                           "system.desktop.dock.enableMagnification", "system.dock.position",
                           "system.misc.autoHideMenuBar"}));
    // Every row (and the background row) gave the profile its option.
    EXPECT_EQ(profile->options().size(), 14);
    editor.show();
    saveScreenshot(&editor, "system-tab");
}

// The main window, its editor shown, opens within the room its screen offers, with a title bar above
// it: on small screens, and where the window system gives no work area but a panel may take room.
TEST_F(MainWindowTest, OpensWithinTheRoomItsScreenOffers)
{
    Profile *profile = newProfile("Work");
    context->save();
    Defaults defaults;
    MainWindow window(&selection, context, &defaults, &options, &appConfigs);
    window.show();
    ASSERT_TRUE(window.showProfile(profile->uuid()));
    const struct
    {
        const char *name;
        QRect screen;
        QRect available;
    } rows[] = {
        {"800 by 600 without a work area", {0, 0, 800, 600}, {0, 0, 800, 600}},
        {"800 by 600 below a panel", {0, 0, 800, 600}, {0, 32, 800, 568}},
        {"960 by 540 right of another screen", {1920, 0, 960, 540}, {1920, 0, 960, 540}},
        {"large enough", {0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
    };
    for (const auto &[name, screen, available] : rows) {
        SCOPED_TRACE(name);
        const QRect room = KivApp::WindowRoom::of(screen, available);
        window.fitInto(room);
        const QRect frame(window.pos(), window.size().grownBy(KivApp::WindowRoom::titleBar));
        EXPECT_TRUE(room.contains(frame) && screen.contains(frame));
        // Without a work area, a panel the window system does not tell of still fits beside it.
        const int panel = available == screen ? KivApp::WindowRoom::panelAllowance : 0;
        EXPECT_LE(frame.height() + panel, available.height());
        // As large as the room allows.
        EXPECT_EQ(window.size(),
                  MainWindow::defaultSize.boundedTo(room.size().shrunkBy(KivApp::WindowRoom::titleBar)));
    }
}

// The list, the selection, the context menu and the editor stay in step, however the choice is made;
// rows follow their profiles and keep their items.
TEST_F(MainWindowTest, ListSelectionMenuEditorAndRowsStayInStep)
{
    Profile *a = newProfile("Alpha");
    Profile *b = newProfile("Beta");
    Profile *c = newProfile("Gamma");
    context->save();
    Defaults defaults;
    MainWindow window(&selection, context, &defaults, &options);
    window.show();
    QListWidget *list = window.profileList();
    QListWidgetItem *first = list->item(0);
    const auto texts = [list] {
        QStringList result;
        for (int row = 0; row < list->count(); ++row)
            result.append(list->item(row)->text());
        return result;
    };
    const auto selectedRows = [list] {
        QList<int> rows;
        for (const QModelIndex &index : list->selectionModel()->selectedIndexes())
            rows.append(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    };

    // Nothing selected: Apply and the rest disabled except the toggle.
    std::unique_ptr<QMenu> menu(window.makeContextMenu());
    EXPECT_EQ(entries(menu.get()),
              QStringList({"Apply Profile", "Duplicate", "-", "Disable", "Delete", "-", "Copy Theme List"}));
    EXPECT_FALSE(entry(menu.get(), "Apply Profile")->isEnabled());
    EXPECT_FALSE(entry(menu.get(), "Copy Theme List")->isEnabled());
    EXPECT_EQ(window.editor(), nullptr);

    // A row chosen in the list. The editor gives the profile the options its rows need, and every
    // insert reloads the list while it is being built: still only one editor is made.
    list->item(1)->setSelected(true);
    EXPECT_EQ(selection.selectedProfiles(), SelectionModel::Selection({b}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(b->options().isEmpty());
    EXPECT_EQ(window.findChildren<ProfileEditor *>().size(), 1);
    ASSERT_NE(window.editor(), nullptr);
    EXPECT_EQ(window.editor()->profile(), b);
    menu.reset(window.makeContextMenu());
    EXPECT_TRUE(entry(menu.get(), "Copy Theme List")->isEnabled());

    postShowProfileNotification(a->uuid());
    EXPECT_EQ(selection.selectedProfiles(), SelectionModel::Selection({a}));
    EXPECT_EQ(selectedRows(), QList<int>({0}));
    EXPECT_EQ(window.editor()->profile(), a);
    EXPECT_FALSE(window.showProfile("NO-SUCH-UUID"));

    // Two selected: the editor makes way for a count, and the list shows exactly the selection.
    selection.setSelectedProfiles({a, c});
    EXPECT_EQ(window.editor(), nullptr);
    EXPECT_EQ(selectedRows(), QList<int>({0, 2}));

    // Rows follow names, ids and states; a row that stays keeps its item.
    a->setName("Aleph");
    c->setUuid("GAMMA-ID");
    c->setEnabled(false);
    newProfile("Delta");
    EXPECT_EQ(texts(), QStringList({"Aleph", "Beta", "Gamma (disabled)", "Delta"}));
    EXPECT_EQ(selection.selectedProfiles(), SelectionModel::Selection({a, c}));
    EXPECT_EQ(list->item(0), first);
    EXPECT_EQ(list->item(2)->data(Qt::UserRole).toString(), "GAMMA-ID");

    // A profile that goes leaves both the list and the selection.
    selection.setSelectedProfiles({c, b});
    EXPECT_EQ(selectedRows(), QList<int>({1, 2}));
    context->remove(b);
    EXPECT_EQ(texts(), QStringList({"Aleph", "Gamma (disabled)", "Delta"}));
    EXPECT_EQ(selection.selectedProfiles(), SelectionModel::Selection({c}));
    EXPECT_EQ(selectedRows(), QList<int>({1}));
    EXPECT_EQ(window.editor()->profile(), c);

    // A profile that is loading says so in the list.
    a->setLoading(true);
    EXPECT_TRUE(list->item(0)->text().contains("Loading"));
    saveScreenshot(&window, "main-window");
}

// Rows painted again the same way are copied from a kept picture: the copy looks exactly like the row
// painted in place, and a row whose name or selection changed is painted (and measured) anew.
TEST_F(MainWindowTest, RowsCopiedFromTheirPicturesLookAsPaintedInPlace)
{
    Profile *a = newProfile("Alpha");
    Profile *b = newProfile("Beta");
    newProfile("Gamma \u2014 \u00c9t\u00e9");
    context->save();
    MainWindow window(&selection, context);
    window.show();
    QWidget *viewport = window.profileList()->viewport();
    // Painted in place, then once more (when the pictures are made), then copied.
    const auto paintings = [viewport] {
        QList<QImage> images;
        for (int time = 0; time < 3; ++time)
            images.append(viewport->grab().toImage());
        return images;
    };
    const QList<QImage> plain = paintings();
    EXPECT_EQ(plain[1], plain[0]);
    EXPECT_EQ(plain[2], plain[0]);

    a->setName("Aleph");
    selection.setSelectedProfiles({b});
    const QList<QImage> changed = paintings();
    for (int row : {0, 1}) {
        const QRect rect = window.profileList()->visualItemRect(window.profileList()->item(row));
        EXPECT_NE(changed[2].copy(rect), plain[0].copy(rect)) << "row " << row;
    }
    EXPECT_EQ(changed[1], changed[0]);
    EXPECT_EQ(changed[2], changed[0]);

    // Back as it was: the pictures kept from before are copied, and still right.
    a->setName("Alpha");
    selection.setSelectedProfiles({});
    EXPECT_EQ(viewport->grab().toImage(), plain[0]);

    // A row's kept size follows its name.
    QListWidget *list = window.profileList();
    const int narrow = list->sizeHintForIndex(list->model()->index(0, 0)).width();
    a->setName("Alpha with a name much longer than any other in the list");
    EXPECT_GT(list->sizeHintForIndex(list->model()->index(0, 0)).width(), narrow + 100);
    a->setName("Alpha");
    EXPECT_EQ(list->sizeHintForIndex(list->model()->index(0, 0)).width(), narrow);
}

// The current row is framed while the list has the keyboard: the frame may only ever mark a row that
// is chosen, or none.
TEST_F(MainWindowTest, TheCurrentRowFrameNeverMarksARowThatIsNotChosen)
{
    Profile *a = newProfile("Alpha");
    Profile *b = newProfile("Beta");
    Profile *c = newProfile("Gamma");
    context->save();
    Defaults defaults;
    MainWindow window(&selection, context, &defaults, &options);
    window.show();
    QListWidget *list = window.profileList();
    const auto framed = [list] {
        return list->currentIndex().isValid() ? list->currentRow() : -1;
    };
    const auto framedRowIsChosen = [list] {
        return !list->currentIndex().isValid() || list->selectionModel()->isSelected(list->currentIndex());
    };

    // At start: nothing chosen, nothing framed, even once the list has the keyboard.
    list->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(qobject_cast<QLabel *>(window.findChild<QStackedWidget *>()->currentWidget())->text(),
              "Select a profile to edit it.");
    EXPECT_EQ(framed(), -1);

    // A click chooses and frames its row; a choice made elsewhere takes the frame along.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(selection.selectedProfiles(), SelectionModel::Selection({a}));
    EXPECT_EQ(framed(), 0);
    selection.setSelectedProfiles({c});
    EXPECT_EQ(framed(), 2);
    EXPECT_TRUE(window.showProfile(b->uuid()));
    EXPECT_EQ(framed(), 1);
    selection.setSelectedProfiles({a, c});
    EXPECT_TRUE(framedRowIsChosen());
    // Taking the framed row out of the selection moves the frame to one still chosen.
    const int before = framed();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(before)).center());
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_TRUE(framedRowIsChosen());
    EXPECT_NE(framed(), before);
    selection.setSelectedProfiles({});
    EXPECT_EQ(framed(), -1);
}

TEST_F(MainWindowTest, QuitAsksOnlyWhileABackgroundIsShown)
{
    bool shown = false;
    AppDelegate delegate([&shown] { return shown; });
    Platform::ScriptedAlertAnswerer answers;

    EXPECT_TRUE(delegate.applicationShouldTerminate());
    EXPECT_TRUE(answers.alerts().isEmpty());

    shown = true;
    answers.answer("Cancel", true);
    EXPECT_FALSE(delegate.applicationShouldTerminate());
    ASSERT_EQ(answers.alerts().size(), 1);
    EXPECT_EQ(answers.alerts().first().suppressionTitle, std::optional<QString>("Don't ask again"));
    // Cancelling with the box ticked does not silence the next question.
    EXPECT_FALSE(Platform::UserDefaults::standard().contains("quitAlertSuppression"));

    answers.answer("Quit", true);
    EXPECT_TRUE(delegate.applicationShouldTerminate());
    EXPECT_TRUE(Platform::UserDefaults::standard().boolean("quitAlertSuppression"));
    EXPECT_TRUE(delegate.applicationShouldTerminate());
    EXPECT_EQ(answers.alerts().size(), 2);

    // A save of the session of either kind that no end follows leaves the question as it was; the
    // session's end, which the window system sends, asks nobody.
    Platform::UserDefaults::standard().remove("quitAlertSuppression");
    delegate.applicationWillFinishLaunching();
    TestSupport::raiseSessionSave(TestSupport::SessionSave::saveState);
    TestSupport::raiseSessionSave(TestSupport::SessionSave::commitData);
    answers.answer("Cancel");
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    EXPECT_EQ(answers.alerts().size(), 3);
    QEvent sessionEnd(QEvent::Quit);
    QSpontaneKeyEvent::setSpontaneous(&sessionEnd);
    qApp->notify(qApp, &sessionEnd);
    EXPECT_EQ(answers.alerts().size(), 3);
}

// The task-bar icon plays no part: with it or without, the program goes on running while anything
// else shows it.
TEST_F(MainWindowTest, ClosingTheMainWindowQuitsOnlyWhereNothingElseShowsTheProgram)
{
    struct Case
    {
        const char *name;
        bool startedWithWindow;
        bool trayIconShown;
        bool showDockIcon;
        bool mainWindow; // else a window of another kind: an alert, a desktop background's
        bool quits;
    };
    for (const Case &test : {Case {"another window, no main window", true, false, true, false, false},
                             Case {"tray icon on show", true, true, true, true, false},
                             Case {"started without the main window", false, false, true, true, false},
                             Case {"nothing else, no task-bar icon", true, false, false, true, true}}) {
        SCOPED_TRACE(test.name);
        Platform::UserDefaults::standard().setValue("showDockIcon", test.showDockIcon);
        AppDelegate delegate({}, {}, [&test] { return test.trayIconShown; });
        delegate.applicationWillFinishLaunching(test.startedWithWindow);
        QWidget main;
        delegate.watchMainWindow(&main);
        QWidget other;
        QWidget &closed = test.mainWindow ? main : other;
        closed.show();
        QTimer::singleShot(0, &closed, &QWidget::close);
        QTimer::singleShot(300, &other, [] { QCoreApplication::exit(7); });
        EXPECT_EQ(QCoreApplication::exec(), test.quits ? 0 : 7);
    }
    Platform::UserDefaults::standard().remove("showDockIcon");
}

} // namespace

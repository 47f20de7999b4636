#include "Tapestrel/ui/switcher/MenuView.h"
#include "testsupport/Screenshots.h"

#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileNameOrder.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/ui/preview/ProfilePreview.h"
#include "Tapestrel/ui/switcher/NewProfileView.h"
#include "Tapestrel/ui/switcher/ProfileMenuButton.h"
#include "Tapestrel/ui/switcher/TileGrid.h"
#include "testsupport/Palettes.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class MenuViewTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override { m_container = std::make_unique<ModelContainer>(home.filePath("data.sqlite")); }

    ModelContext *context() { return m_container->mainContext(); }
    Profile *addProfile(const QString &name, bool enabled = true)
    {
        auto profile = std::make_unique<Profile>(name);
        profile->setEnabled(enabled);
        return context()->insert(std::move(profile));
    }
    std::unique_ptr<MenuView> makeView()
    {
        MenuView::Actions actions;
        actions.openMainWindow = [this](bool activate) {
            m_opened.append(activate);
        };
        actions.applyProfile = [this](Profile *profile) {
            m_applied.append(profile->name());
        };
        actions.createProfile = [this](const QString &name) {
            m_created.append(name);
        };
        return std::make_unique<MenuView>(context(), &m_selection, actions);
    }
    static QStringList tileNames(const MenuView &view)
    {
        QStringList names;
        for (ProfileMenuButton *tile : view.tiles())
            names.append(tile->profile()->name());
        return names;
    }

    std::unique_ptr<ModelContainer> m_container;
    SelectionModel m_selection;
    QList<bool> m_opened;
    QStringList m_applied;
    QStringList m_created;
};

// Names are drawn exactly as typed (markup as text) in the normal text colour; only a disabled
// profile's name is greyed.
TEST_F(MenuViewTest, TilesShowTheEnabledProfilesAsTypedInTheTextColour)
{
    Profile *hidden = addProfile("Evening", false);
    const QString markup = "<i>Night</i> & <b>Day</b>";
    addProfile(markup);
    auto view = makeView();
    EXPECT_EQ(tileNames(*view), QStringList {markup});
    const QLabel *name = view->tiles().first()->nameLabel();
    EXPECT_EQ(name->textFormat(), Qt::PlainText);
    EXPECT_GE(name->sizeHint().width(), name->fontMetrics().horizontalAdvance(markup));
    const QColor text = view->palette().color(QPalette::WindowText);
    EXPECT_EQ(name->palette().color(name->foregroundRole()), text);
    ProfileMenuButton disabledTile(hidden, {}, {});
    const QLabel *grey = disabledTile.nameLabel();
    EXPECT_NE(grey->palette().color(grey->foregroundRole()), text);
}

// The switcher keeps its tiles, connections and sort keys between changes: after each change its
// order is still the one a full sort of the store's enabled profiles gives.
TEST_F(MenuViewTest, TilesKeepTheOrderOfAFullSortThroughChanges)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QList<Profile *> made;
    for (const char *name :
         {"Profile 10", "beta", "Profile 2", "Beta", "alpha", "\u00c9mile", "emma", "Zeta"})
        made.append(addProfile(QString::fromUtf8(name)));
    auto view = makeView();
    const auto expected = [this] {
        QList<Profile *> profiles = context()->fetchProfiles();
        profiles.removeIf([](Profile *profile) { return !profile->isEnabled(); });
        sortProfilesByName(profiles);
        return profiles;
    };
    const auto shown = [&view] {
        QList<Profile *> profiles;
        for (ProfileMenuButton *tile : view->tiles())
            profiles.append(tile->profile());
        return profiles;
    };
    const auto names = [](const QList<Profile *> &profiles) {
        QStringList result;
        for (const Profile *profile : profiles)
            result.append(profile->name());
        return result.join(u',').toStdString();
    };
    const auto inStep = [&] {
        return TestSupport::waitUntil([&] { return shown() == expected(); });
    };
    ASSERT_TRUE(inStep()) << names(shown());

    const QList<std::function<void()>> changes {
        [&] { made.append(addProfile("BETA")); }, // equal names keep the store's order
        [&] { made[4]->setName("Zulu"); },
        [&] { made[6]->setEnabled(false); },
        [&] { context()->remove(made[3]); },
        [&] { made[6]->setEnabled(true); },
        [&] {
            context()->save();
            made.append(addProfile("\u00c5sa"));
        },
        // Swedish puts Å after Z: the kept keys follow the locale.
        [&] {
            QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
            addProfile("Profile 3");
        },
        // New profiles at the end of the store, one of them disabled.
        [&] {
            addProfile("Hidden", false);
            addProfile("Omega");
        },
    };
    for (qsizetype step = 0; step < changes.size(); ++step) {
        changes[step]();
        EXPECT_TRUE(inStep()) << "after change " << step << ": " << names(shown()) << " instead of "
                              << names(expected());
    }
    EXPECT_EQ(view->tiles().last()->profile()->name(), QString::fromUtf8("\u00c5sa"));
    QLocale::setDefault(previous);
}

// Only the tiles near the scrolled-to place are shown. Whatever changes, each shown tile sits in the
// cell of its place in the order (two a row, rows top to bottom), and every tile that reaches into
// view is shown.
TEST_F(MenuViewTest, TilesInViewAreShownInTheirCellsThroughChangesAndScrolling)
{
    QList<Profile *> made;
    for (int i = 0; i < 41; ++i)
        made.append(addProfile(QStringLiteral("Profile %1").arg(i, 2, 10, QLatin1Char('0'))));
    auto view = makeView();
    view->resize(MenuView::panelWidth, MenuView::panelHeight);
    view->show();
    auto *grid = view->findChild<TileGrid *>();
    auto *scroll = view->findChild<QScrollArea *>();
    ASSERT_TRUE(grid && scroll);
    QWidget *viewport = scroll->viewport();

    // What is wrong with the tiles' places, or nothing.
    const auto misplaced = [&]() -> std::string {
        const QList<ProfileMenuButton *> tiles = view->tiles();
        const QRect inView(QPoint(), viewport->size());
        qsizetype shown = 0;
        for (qsizetype k = 0; k < tiles.size(); ++k) {
            const QRect cell = grid->cellGeometry(k);
            const QRect cellInView(grid->mapTo(viewport, cell.topLeft()), cell.size());
            const std::string name = tiles[k]->profile()->name().toStdString();
            if (cellInView.intersects(inView) && !tiles[k]->isVisible())
                return name + " is in view but hidden";
            if (!tiles[k]->isVisible())
                continue;
            ++shown;
            if (tiles[k]->geometry() != cell)
                return name + " is not in its cell";
            if (cell.height() != tiles[k]->sizeHint().height())
                return name + " is not as tall as its name needs";
            // Left and right of one row, and each row below the one before.
            if (k > 0) {
                const QRect before = grid->cellGeometry(k - 1);
                const bool sameRow = k % 2 == 1;
                if (sameRow
                        ? (cell.left() <= before.right() || qAbs(cell.center().y() - before.center().y()) > 1)
                        : cell.top() <= before.bottom())
                    return name + " is out of order";
            }
        }
        if (shown == 0 || shown >= tiles.size())
            return std::to_string(shown) + " tiles shown of " + std::to_string(tiles.size());
        return {};
    };
    ASSERT_TRUE(TestSupport::waitUntil([&] { return misplaced().empty(); })) << misplaced();

    const auto changed = [&](const char *what, const std::function<void()> &change) {
        change();
        EXPECT_TRUE(TestSupport::waitUntil([&] { return misplaced().empty(); }))
            << what << ": " << misplaced();
    };
    QScrollBar *bar = scroll->verticalScrollBar();
    changed("a profile before all others", [&] { made.append(addProfile("Aardvark")); });
    changed("the first one renamed to the end", [&] { made.last()->setName("Zebra"); });
    changed("one in view disabled", [&] { made[1]->setEnabled(false); });
    changed("one in view deleted", [&] { context()->remove(made[0]); });
    changed("scrolled to the end", [&] { bar->setValue(bar->maximum()); });
    changed("a profile at the end, in view", [&] { made.append(addProfile("Zulu")); });
    changed("scrolled half way", [&] { bar->setValue(bar->maximum() / 2); });
    changed("a profile before all others, out of view", [&] { made.append(addProfile("Abacus")); });
    changed("a longer name in view", [&] { made[20]->setName("Profile 20\nof two lines"); });
    changed("the panel made taller", [&] { view->resize(MenuView::panelWidth, 900); });
    EXPECT_EQ(view->tiles().last()->profile()->name(), "Zulu");
}

// Tab moves from tile to tile in their order on screen (a tile added later included), on to tiles
// below the view, which the panel scrolls into view.
TEST_F(MenuViewTest, TabWalksTheTilesInOrderPastTheView)
{
    for (int i = 29; i > 0; --i)
        addProfile(QStringLiteral("Profile %1").arg(i));
    auto view = makeView();
    view->resize(MenuView::panelWidth, MenuView::panelHeight);
    view->show();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    addProfile("Profile 0");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return view->tiles().size() == 30; }));
    const QList<ProfileMenuButton *> tiles = view->tiles();
    ASSERT_EQ(tiles.first()->profile()->name(), "Profile 0");
    QWidget *viewport = view->findChild<QScrollArea *>()->viewport();
    tiles.first()->previewButton()->setFocus(Qt::TabFocusReason);
    for (qsizetype k = 1; k < tiles.size(); ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), tiles[k]->previewButton()) << "tab " << k;
        const QRect button(tiles[k]->previewButton()->mapTo(viewport, QPoint()),
                           tiles[k]->previewButton()->size());
        EXPECT_TRUE(QRect(QPoint(), viewport->size()).contains(button)) << "tab " << k;
    }
}

TEST_F(MenuViewTest, AClickAppliesOnceAndEditSelectsWithoutActivating)
{
    Profile *work = addProfile("Work");
    addProfile("Home");
    auto view = makeView();
    view->show();
    ProfileMenuButton *tile = view->tiles().last();
    ASSERT_EQ(tile->profile(), work);

    QTest::mouseClick(tile->previewButton(), Qt::LeftButton);
    EXPECT_EQ(m_applied, QStringList {"Work"});
    EXPECT_TRUE(m_opened.isEmpty());
    EXPECT_TRUE(m_selection.selectedProfiles().isEmpty());
    QTest::mouseClick(tile->previewButton(), Qt::LeftButton);
    EXPECT_EQ(m_applied.size(), 2);

    tile->edit();
    EXPECT_EQ(m_selection.selectedProfiles(), SelectionModel::Selection {work});
    EXPECT_EQ(m_opened, QList<bool> {false});

    view->editProfilesButton()->click();
    EXPECT_EQ(m_opened, (QList<bool> {false, true}));
    EXPECT_EQ(m_applied.size(), 2);
}

TEST_F(MenuViewTest, TheNewProfileFormSubmitsOnReturnCancelsOnEscapeAndStartsOver)
{
    auto view = makeView();
    view->show();
    EXPECT_FALSE(view->isNewProfileViewVisible());
    view->plusButton()->click();
    ASSERT_TRUE(view->isNewProfileViewVisible());
    QLineEdit *field = view->newProfileView()->nameField();

    field->setText("Typed");
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(view->isNewProfileViewVisible());
    EXPECT_TRUE(m_created.isEmpty());
    EXPECT_TRUE(m_opened.isEmpty());

    view->plusButton()->click();
    field = view->newProfileView()->nameField();
    EXPECT_EQ(field->text(), "New Profile");
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Return); // the form is folding away: no second profile
    EXPECT_EQ(m_created, QStringList {"New Profile"});
    EXPECT_EQ(m_opened, QList<bool> {false});
    EXPECT_FALSE(view->isNewProfileViewVisible());

    // No validation: an empty name is handed on as typed.
    view->plusButton()->click();
    view->newProfileView()->nameField()->clear();
    view->newProfileView()->addButton()->click();
    EXPECT_EQ(m_created, (QStringList {"New Profile", QString()}));
}

TEST_F(MenuViewTest, TheMoreMenuKeepsItsOrderAndLeavesOutAbsentItems)
{
    QObject owner;
    auto item = [&owner](const char *text) {
        return new QAction(QString::fromLatin1(text), &owner);
    };
    MoreMenu::Items items {
        item("Settings"),        item("About"), item("Send Feedback"), item("Get More Apps"),
        item("Join Newsletter"), item("Quit"),  item("What's New?"),   item("Check for Updates...")};
    MoreMenu menu(items);
    QStringList shown;
    for (QAction *action : menu.actions())
        shown.append(action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(shown,
              (QStringList {"Settings", "-", "About", "What's New?", "Check for Updates...", "-",
                            "Send Feedback", "Get More Apps", "Join Newsletter", "-", "Quit"}));

    MoreMenu sparse(MoreMenu::Items {nullptr, item("About"), nullptr, nullptr, nullptr, item("Quit")});
    EXPECT_EQ(sparse.actions().size(), 3);
    EXPECT_FALSE(sparse.actions().first()->isSeparator());
}

} // namespace

// The tiles sit evenly, and the symbols show on light and dark palettes.
TEST_F(MenuViewTest, TilesSitEvenlyAndTheSymbolsShowOnLightAndDarkPalettes)
{
    for (const char *name : {"Daylight", "Night", "Focus"})
        addProfile(QString::fromLatin1(name));
    for (const bool dark : {false, true}) {
        const QPalette palette = TestSupport::schemePalette(dark);
        const TestSupport::ScopedPalette scoped(palette);
        auto view = makeView();
        view->resize(424, 620);
        const QImage image = TestSupport::grabAndKeep(view.get(), dark ? "switcher-dark" : "switcher-light");
        // The same margin left and right of a row.
        const QList<ProfileMenuButton *> tiles = view->findChildren<ProfileMenuButton *>();
        ASSERT_EQ(tiles.size(), 3);
        int left = view->width();
        int right = 0;
        for (const ProfileMenuButton *tile : tiles) {
            const QRect frame(tile->mapTo(view.get(), QPoint()), tile->size());
            left = qMin(left, frame.left());
            right = qMax(right, frame.right());
        }
        EXPECT_EQ(left, view->width() - 1 - right) << left << " " << right;
        const QColor background = palette.color(QPalette::Window);
        for (const char *button : {"New Profile", "More"}) {
            QToolButton *found = nullptr;
            for (QToolButton *candidate : view->findChildren<QToolButton *>()) {
                if (candidate->toolTip() == button || candidate->text() == button)
                    found = candidate;
            }
            ASSERT_TRUE(found) << button;
            // The symbol's strongest contrast with the window behind it.
            double strongest = 1;
            const QRect area(found->mapTo(view.get(), QPoint()), found->size());
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x)
                    strongest =
                        std::max(strongest, TestSupport::contrastRatio(image.pixelColor(x, y), background));
            }
            EXPECT_GE(strongest, 3.0) << button << (dark ? " on the dark palette" : " on the light palette");
        }
    }
}

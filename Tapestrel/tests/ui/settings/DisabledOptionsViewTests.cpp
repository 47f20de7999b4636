#include "Tapestrel/ui/settings/DisabledOptionsView.h"
#include "Tapestrel/ui/settings/OptionPath.h"

#include "Tapestrel/Registries.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "platform/CloudKeyValueStore.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class DisabledOptionsTest : public TestSupport::TempHomeTest
{
protected:
    // The identifiers of the menu's items, after it was opened.
    QStringList menuIds(DisabledOptionsView &page)
    {
        emit page.addMenu()->aboutToShow();
        QStringList ids;
        for (QAction *action : page.addMenu()->actions())
            ids.append(action->data().toString());
        return ids;
    }
    QStringList rowIds(DisabledOptionsView &page)
    {
        QStringList ids;
        for (int row = 0; row < page.list()->count(); ++row)
            ids.append(page.list()->item(row)->data(Qt::UserRole).toString());
        return ids;
    }
    // What the cloud store holds, as another machine would read it.
    QStringList stored()
    {
        return Platform::CloudKeyValueStore(home.filePath("cloud.plist"))
            .value("disabledOptionsIDs")
            .toStringList();
    }
    QAction *menuItem(DisabledOptionsView &page, const QString &id)
    {
        for (QAction *action : page.addMenu()->actions()) {
            if (action->data().toString() == id)
                return action;
        }
        return nullptr;
    }

    Registries registries;
    OptionStore &registry = registries.optionStore();
    Platform::CloudKeyValueStore cloud {home.filePath("cloud.plist")};
    SynchronizedOptionsStore options {cloud};
};

} // namespace

TEST_F(DisabledOptionsTest, MenuOffersTheRegisteredOptionsNotListedInPathOrder)
{
    DisabledOptionsView page(&options, &registry);
    page.resize(600, 400);
    page.show();
    TestSupport::spinEventLoop(0ms); // children added while shown appear a moment later

    // Nothing listed: the explanation, a disabled remove button, all 28 options on offer.
    EXPECT_TRUE(page.emptyText()->isVisibleTo(&page));
    EXPECT_FALSE(page.list()->isVisibleTo(&page));
    EXPECT_FALSE(page.removeButton()->isEnabled());
    // Every line of the explanation fits in the height it was given.
    const QLabel *empty = page.emptyText();
    EXPECT_GE(empty->height(), empty->heightForWidth(empty->width())) << empty->width();
    TestSupport::saveScreenshot(&page, "settings/disabled-options-empty");

    const QStringList offered = menuIds(page);
    ASSERT_EQ(offered.size(), 28);
    EXPECT_EQ(offered.first(), "apps.alfred.theme");
    EXPECT_EQ(offered.last(), "tools.iterm.theme"); // "iTerm" sorts after "Xcode": capitals first
    EXPECT_EQ(offered.at(offered.size() - 2), "dt.Xcode.theme");
    // The background follows the last "System, Appearance" path; every "Apps" path precedes "System".
    const int background = int(offered.indexOf("system.desktop.background.picture"));
    EXPECT_EQ(offered.at(background - 1), "system.ui.accentColor"); // "Theme Color"
    EXPECT_EQ(page.addMenu()->actions().first()->text(), "Apps \u203A Alfred \u203A Theme");
    for (int index = 1; index < offered.size(); ++index) {
        EXPECT_LT(page.displayPath(offered[index - 1]).join(','), page.displayPath(offered[index]).join(','));
    }

    // Choosing an item appends it: the last row, gone from the menu, stored in the cloud.
    options.setDisabledOptionsIDs({"system.dock.position"});
    menuIds(page);
    ASSERT_NE(menuItem(page, "apps.bear.theme"), nullptr);
    menuItem(page, "apps.bear.theme")->trigger();
    EXPECT_EQ(options.disabledOptionsIDs(), QStringList({"system.dock.position", "apps.bear.theme"}));
    EXPECT_EQ(stored(), QStringList({"system.dock.position", "apps.bear.theme"}));
    EXPECT_EQ(rowIds(page), QStringList({"system.dock.position", "apps.bear.theme"}));
    EXPECT_TRUE(page.list()->isVisibleTo(&page));
    EXPECT_FALSE(page.emptyText()->isVisibleTo(&page));
    auto *path = qobject_cast<OptionPath *>(page.list()->itemWidget(page.list()->item(1)));
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->path(), QStringList({"Apps", "Bear", "Theme"}));
    EXPECT_EQ(menuIds(page).size(), 26);
    EXPECT_FALSE(menuIds(page).contains("apps.bear.theme"));

    // Everything listed: an empty menu.
    QStringList every;
    for (OptionModel *model : registry.options())
        every.append(model->key());
    options.setDisabledOptionsIDs(every);
    EXPECT_TRUE(menuIds(page).isEmpty());
}

TEST_F(DisabledOptionsTest, RemovingSelectedIdentifiers)
{
    options.setDisabledOptionsIDs({"system.dock.position", "apps.alfred.theme", "com.example.future",
                                   "dt.Xcode.theme", "system.dock.position", "apps.bear.theme"});
    DisabledOptionsView page(&options, &registry);
    page.resize(600, 400);
    page.show();
    TestSupport::spinEventLoop(0ms); // children added while shown appear a moment later
    EXPECT_EQ(page.list()->count(), 6);
    // An identifier no registered option has is shown as it is.
    EXPECT_EQ(page.list()->item(2)->text(), "com.example.future");
    EXPECT_EQ(page.list()->itemWidget(page.list()->item(2)), nullptr);
    TestSupport::saveScreenshot(&page, "settings/disabled-options");

    // Selecting rows enables the button; removing takes every occurrence of the selected ones.
    page.list()->item(0)->setSelected(true);
    page.list()->item(2)->setSelected(true);
    page.list()->item(3)->setSelected(true);
    EXPECT_EQ(page.selection(),
              QSet<QString>({"system.dock.position", "com.example.future", "dt.Xcode.theme"}));
    EXPECT_TRUE(page.removeButton()->isEnabled());
    page.removeButton()->click();
    EXPECT_EQ(options.disabledOptionsIDs(), QStringList({"apps.alfred.theme", "apps.bear.theme"}));
    EXPECT_EQ(stored(), QStringList({"apps.alfred.theme", "apps.bear.theme"}));
    EXPECT_EQ(rowIds(page), QStringList({"apps.alfred.theme", "apps.bear.theme"}));
    // Removed rows leave the selection; nothing is selected that the user cannot see.
    EXPECT_TRUE(page.selection().isEmpty());
    EXPECT_FALSE(page.removeButton()->isEnabled());

    // A change from another machine keeps the selection of rows that stay.
    page.setSelection({"apps.bear.theme"});
    options.setDisabledOptionsIDs({"apps.bear.theme", "system.ui.appearance"});
    EXPECT_EQ(page.selection(), QSet<QString>({"apps.bear.theme"}));
    EXPECT_TRUE(page.list()->item(0)->isSelected());
    EXPECT_FALSE(page.list()->item(1)->isSelected());

    // Removing the last listed identifier brings the explanation back.
    page.setSelection({"apps.bear.theme", "system.ui.appearance"});
    page.removeSelected();
    EXPECT_TRUE(options.disabledOptionsIDs().isEmpty());
    EXPECT_TRUE(page.emptyText()->isVisibleTo(&page));
    EXPECT_FALSE(page.list()->isVisibleTo(&page));
}

// The menu shows the path joined by chevrons (above); the rows' rich text escapes the components.
TEST(OptionPathTest, RichTextEscapesTheComponents)
{
    EXPECT_TRUE(OptionPath::richText({"A<b>"}).startsWith("A&lt;b&gt;"));
}

#include "UiFixture.h"

#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/tests/ui/SectionProbes.h"
#include "Tapestrel/ui/AppBasedEditorTab.h"
#include "Tapestrel/ui/HiddenAppBox.h"
#include "Tapestrel/ui/NotAvailableAppRow.h"
#include "Tapestrel/ui/NotAvailableAppsObserver.h"
#include "Tapestrel/ui/NotAvailableAppsView.h"
#include "Tapestrel/widgets/AppSection.h"
#include "Tapestrel/widgets/EditorPicker.h"
#include "platform/Workspace.h"

#include <QLabel>
#include <QToolButton>

#include <gtest/gtest.h>

using UiTests::rowKeys;
using UiTests::shownIDs;

namespace {

// The editor's application tabs over the program's real records and option models.
class AppTabsTest : public UiTests::UiTest
{
protected:
    AppTabsTest() { OptionStore::setShared(&registries.optionStore()); }
    ~AppTabsTest() override { Platform::Workspace::shared().setUrlOpener({}); }

    Registries registries;
    Profile *profile = newProfile("Work");
};

} // namespace

TEST_F(AppTabsTest, AppsTabShowsInstalledApplicationsInItsOrderAndCountsTheOthers)
{
    home.installApp("Bear", "net.shinyfrog.bear");
    home.installApp("Alfred 5", "com.runningwithcrayons.Alfred");
    home.installApp("ForkLift", "com.binarynights.forklift-setapp"); // one edition is enough

    AppBasedEditorTab tab(profile, AppBasedEditorTab::appsTab, &registries.appConfigStore(), &options);
    tab.resize(560, 520);
    tab.show();
    ASSERT_EQ(tab.sections().size(), 7);
    EXPECT_EQ(shownIDs(tab), QStringList({"apps.forklift", "apps.alfred", "apps.bear"}));
    const AppSection *bear = tab.shownSections().last();
    EXPECT_EQ(bear->titleLabel()->text(), "Bear");
    EXPECT_EQ(rowKeys(bear), QStringList({"apps.bear.theme"}));
    EXPECT_EQ(profile->option("apps.noteplan.theme"), nullptr)
        << "no rows for applications that are not there";
    HiddenAppBox *box = tab.hiddenAppBox();
    EXPECT_EQ(box->countLabel()->text(), "4 apps are hidden, because they're not installed on this device");
    EXPECT_TRUE(box->countLabel()->isVisible());
    TestSupport::saveScreenshot(&tab, "editor/apps-tab");

    // An application installed meanwhile shows at the next redraw; the count follows when the box
    // comes into view again.
    home.installApp("NotePlan 3", "co.noteplan.NotePlan");
    tab.refresh();
    EXPECT_EQ(shownIDs(tab), QStringList({"apps.forklift", "apps.alfred", "apps.bear", "apps.noteplan"}));
    EXPECT_EQ(box->observer()->notAvailableApps().size(), 4);
    tab.hide();
    tab.show();
    EXPECT_EQ(box->countLabel()->text(), "3 apps are hidden, because they're not installed on this device");

    // The sheet lists every registered application that is not installed, in registry order.
    QList<QUrl> opened;
    Platform::Workspace::shared().setUrlOpener([&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    box->showButton()->click();
    ASSERT_TRUE(box->isShowingNotAvailableApps());
    NotAvailableAppsView *sheet = box->sheet();
    QStringList names;
    for (const NotAvailableAppRow *row : sheet->rows())
        names.append(row->name());
    EXPECT_EQ(
        names,
        QStringList({"Corvella", "iTerm", "Obsidian", "Visual Studio Code", "Lumapad", "Xcode", "Terminal"}));
    sheet->rows().at(1)->openWebsite();
    EXPECT_EQ(opened, QList<QUrl>({QUrl("https://iterm2.com/")}));
    TestSupport::saveScreenshot(sheet, "editor/not-installed-sheet");
    sheet->accept();
    EXPECT_FALSE(box->isShowingNotAvailableApps());
}

TEST_F(AppTabsTest, ToolsTabCountsTheHiddenApplicationsOrNone)
{
    // With nothing installed only the footer shows.
    AppBasedEditorTab tab(profile, AppBasedEditorTab::toolsTab, &registries.appConfigStore(), &options);
    tab.resize(560, 420);
    tab.show();
    EXPECT_TRUE(tab.shownSections().isEmpty());
    EXPECT_EQ(tab.hiddenAppBox()->countLabel()->text(),
              "4 apps are hidden, because they're not installed on this device");
    EXPECT_TRUE(profile->options().isEmpty());

    home.installApp("Xcode", "com.apple.dt.Xcode");
    home.installApp("Visual Studio Code", "com.microsoft.VSCode");
    home.installApp("Terminal", "com.apple.Terminal");
    tab.hide();
    tab.show();
    EXPECT_EQ(shownIDs(tab), QStringList({"dt.Xcode", "apps.vscode", "com.apple.Terminal"}));
    const AppSection *terminal = tab.shownSections().last();
    EXPECT_EQ(rowKeys(terminal),
              QStringList({"com.apple.Terminal.DefaultTheme", "com.apple.Terminal.StartupTheme"}));
    ASSERT_NE(terminal->commentLabel(), nullptr);
    EXPECT_EQ(terminal->commentLabel()->text(), "Terminal needs to be restarted to apply the changes");
    EXPECT_EQ(tab.hiddenAppBox()->countLabel()->text(),
              "1 app is hidden, because it's not installed on this device");
    TestSupport::saveScreenshot(&tab, "editor/tools-tab");

    home.installApp("iTerm", "com.googlecode.iterm2");
    tab.hide();
    tab.show();
    EXPECT_EQ(tab.shownSections().size(), 4);
    EXPECT_TRUE(tab.hiddenAppBox()->observer()->notAvailableApps().isEmpty());
    EXPECT_FALSE(tab.hiddenAppBox()->countLabel()->isVisible()) << "nothing hidden, no footer";
}

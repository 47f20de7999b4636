#include "KivApp/AppMenuButtons.h"
#include "KivApp/CloudKitStatusModel.h"
#include "KivApp/DataResetController.h"
#include "KivApp/DataSettingsView.h"
#include "KivApp/SettingsPage.h"
#include "platform/Alerts.h"
#include "platform/Workspace.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>

#include <QCoro/QCoroTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class SettingsTest : public TestSupport::TempHomeTest
{
protected:
    ~SettingsTest() override { Platform::Workspace::shared().setUrlOpener({}); }
};

// A page whose content reads a member of the subclass: building it in the base constructor would
// read the member before it exists.
class CountingPage : public KivApp::SettingsPage
{
public:
    CountingPage(Kind kind, std::optional<int> height)
        : SettingsPage({"Counting", "gear"}, kind, [this] { return build(); })
        , text(QStringLiteral("built from the subclass"))
    {
        if (height)
            setFixedPageHeight(*height);
    }

    QWidget *build()
    {
        ++builds;
        auto *label = new QLabel(text);
        label->setObjectName("PageContent");
        label->setMinimumHeight(90);
        return label;
    }

    QString text;
    int builds = 0;
};

class ScriptedReset : public KivApp::DataResetController
{
public:
    QCoro::Task<void> reset() override
    {
        ++resets;
        co_await QCoro::sleepFor(std::chrono::milliseconds(20)); // long enough to click again meanwhile
        if (!failure.isEmpty())
            throw std::runtime_error(failure.toStdString());
        co_return;
    }
    QList<QUrl> urls() const override { return files; }

    QString failure;
    QList<QUrl> files;
    int resets = 0;
};

TEST_F(SettingsTest, PagesBuildOnceOnFirstUseAndTheWindowTakesEachPagesHeight)
{
    auto *form = new CountingPage(KivApp::SettingsPage::Kind::form, 152);
    auto *plain = new CountingPage(KivApp::SettingsPage::Kind::view, std::nullopt);
    EXPECT_EQ(form->builds, 0);

    KivApp::SettingsWindow window(600);
    window.addPage(form);
    window.addPage(plain);
    window.show();
    EXPECT_EQ(form->builds, 1);
    const QRect available = window.screen()->availableGeometry();
    EXPECT_LE((window.geometry().center() - available.center()).manhattanLength(), 4);
    EXPECT_EQ(plain->builds, 0); // not shown yet
    EXPECT_EQ(form->findChild<QLabel *>("PageContent")->text(), "built from the subclass");

    // A form page sits in a grouped panel; a plain page shows its content as it is.
    EXPECT_NE(form->findChild<QWidget *>("GroupedForm"), nullptr);
    const int formHeight = window.height();
    EXPECT_EQ(window.width(), 600);
    EXPECT_EQ(formHeight, 152 + window.tabs()->tabBar()->sizeHint().height());

    window.setCurrentPage(1);
    EXPECT_EQ(plain->builds, 1);
    EXPECT_EQ(plain->findChild<QWidget *>("GroupedForm"), nullptr);
    EXPECT_EQ(plain->content()->parentWidget(), plain);
    EXPECT_EQ(window.width(), 600);
    EXPECT_EQ(window.height(), plain->sizeHint().height() + window.tabs()->tabBar()->sizeHint().height());

    window.setCurrentPage(0);
    EXPECT_EQ(form->builds, 1);
    EXPECT_EQ(window.height(), formHeight);

    QObject owner;
    int opened = 0;
    KivApp::AppMenuButtons::openSettingsButton([&opened] { ++opened; }, &owner)->trigger();
    EXPECT_EQ(opened, 1);
}

TEST_F(SettingsTest, DataPageListsTheFoldersAndShowsThemInTheFileManager)
{
    KivApp::CloudKitStatusModel status;
    ScriptedReset reset;
    const QString data = home.filePath("data");
    const QString backups = home.filePath("data/backups");
    KivApp::DataSettingsView page(&status, {{"Data", data}, {"Backups", backups}}, &reset, false);
    page.content();

    EXPECT_EQ(page.findChild<QLabel *>("SyncStatus")->text(), status.lastStatus());
    // The reset is not offered when the program says so.
    EXPECT_EQ(page.findChild<QPushButton *>("ResetButton"), nullptr);

    QStringList paths;
    for (const QLabel *label : page.findChildren<QLabel *>("DirectoryPath"))
        paths.append(label->toolTip());
    EXPECT_EQ(paths, QStringList({data, backups}));

    QList<QUrl> opened;
    Platform::Workspace::shared().setUrlOpener([&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    const QList<QPushButton *> show = page.findChildren<QPushButton *>("ShowDirectory");
    ASSERT_EQ(show.size(), 2);
    show[1]->click();
    EXPECT_EQ(opened, QList<QUrl>({QUrl::fromLocalFile(backups)}));
    // A folder that was not made yet is made, so there is something to show.
    EXPECT_TRUE(QDir(backups).exists());

    TestSupport::saveScreenshot(&page, "settings/data-page");

    // In a narrow page a long path keeps its start and its end, with the middle left out.
    const QString deep = home.filePath("data/" + QString("very-long-folder-name/").repeated(8) + "end");
    KivApp::DataSettingsView narrow(&status, {{"Data", deep}}, &reset, false);
    narrow.content();
    narrow.resize(420, 300);
    narrow.show();
    QCoreApplication::processEvents();
    const QLabel *shortened = narrow.findChild<QLabel *>("DirectoryPath");
    ASSERT_NE(shortened, nullptr);
    EXPECT_TRUE(shortened->text().contains(QChar(0x2026))) << shortened->text().toStdString();
    EXPECT_TRUE(shortened->text().endsWith("end")) << shortened->text().toStdString();
    EXPECT_TRUE(shortened->text().startsWith(home.path().left(4)));
    EXPECT_EQ(shortened->toolTip(), deep);
    EXPECT_LE(shortened->fontMetrics().horizontalAdvance(shortened->text()), shortened->width());
    TestSupport::saveScreenshot(&narrow, "settings/data-page-narrow");
}

TEST_F(SettingsTest, DataPageResetsOnlyWhenConfirmedAndReportsAFailure)
{
    KivApp::CloudKitStatusModel status;
    ScriptedReset reset;
    // A file, a folder with what it holds, and a file not made: the kit deletes them only after a reset
    // that succeeded.
    home.writeFile("data/data.sqlite", "db");
    home.writeFile("data/backgrounds/a.png", "png");
    reset.files = {QUrl::fromLocalFile(home.filePath("data/data.sqlite")),
                   QUrl::fromLocalFile(home.filePath("data/backgrounds")),
                   QUrl::fromLocalFile(home.filePath("data/missing.sqlite-wal"))};
    KivApp::DataSettingsView page(&status, {}, &reset, true);
    page.content();
    QPushButton *button = page.findChild<QPushButton *>("ResetButton");
    ASSERT_NE(button, nullptr);

    Platform::ScriptedAlertAnswerer answers;
    QSignalSpy finished(&page, &KivApp::DataSettingsView::resetFinished);

    answers.answer("Cancel");
    button->click();
    EXPECT_EQ(reset.resets, 0);
    ASSERT_EQ(answers.alerts().size(), 1);
    EXPECT_EQ(answers.alerts()[0].message, "Reset the local data?");
    EXPECT_EQ(answers.alerts()[0].cancelButton, 1);

    reset.failure = QStringLiteral("the backup could not be written");
    answers.answer("Reset");
    button->click();
    EXPECT_FALSE(button->isEnabled()); // one reset at a time
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finished.last().at(0).toBool());
    ASSERT_EQ(answers.alerts().size(), 3);
    EXPECT_EQ(answers.alerts()[2].message, "The data could not be reset.");
    EXPECT_EQ(answers.alerts()[2].informativeText, "the backup could not be written");
    EXPECT_TRUE(QFile::exists(home.filePath("data/data.sqlite")));
    EXPECT_TRUE(QFile::exists(home.filePath("data/backgrounds/a.png")));
    EXPECT_TRUE(button->isEnabled());

    reset.failure.clear();
    answers.answer("Reset");
    button->click();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(finished.last().at(0).toBool());
    EXPECT_EQ(reset.resets, 2);
    EXPECT_FALSE(QFile::exists(home.filePath("data/data.sqlite")));
    EXPECT_FALSE(QDir(home.filePath("data/backgrounds")).exists());
    EXPECT_TRUE(QDir(home.filePath("data")).exists());
    EXPECT_EQ(answers.alerts().size(), 4);
}

} // namespace

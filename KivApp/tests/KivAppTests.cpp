#include "KivApp/AppMenuButtons.h"
#include "KivApp/DataResetController.h"
#include "KivApp/LaunchAtLogin.h"
#include "KivApp/ShowMainWindowHandler.h"
#include "platform/NotificationCenter.h"
#include "platform/Workspace.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QAction>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <stdexcept>

using TestSupport::runTask;

namespace {

class KivAppTest : public TestSupport::TempHomeTest
{
};

// Records what the kit asked, and fails its reset when told to.
class RecordingReset : public KivApp::DataResetController
{
public:
    QCoro::Task<void> reset() override
    {
        journal.append(QStringLiteral("reset"));
        if (fails)
            throw std::runtime_error("store busy");
        co_return;
    }
    QList<QUrl> urls() const override { return files; }

    bool fails = false;
    QStringList journal;
    QList<QUrl> files;
};

TEST_F(KivAppTest, DataResetDeletesOnlyAfterASuccessfulReset)
{
    home.writeFile("data/data.sqlite", "db");
    home.writeFile("data/backgrounds/a.png", "png");
    RecordingReset controller;
    controller.files = {QUrl::fromLocalFile(home.filePath("data/data.sqlite")),
                        QUrl::fromLocalFile(home.filePath("data/backgrounds")),
                        QUrl::fromLocalFile(home.filePath("data/missing.sqlite-wal"))};

    controller.fails = true;
    EXPECT_EQ(runTask(KivApp::resetData(&controller)), std::optional<QString>("store busy"));
    EXPECT_TRUE(QFile::exists(home.filePath("data/data.sqlite")));
    EXPECT_TRUE(QFile::exists(home.filePath("data/backgrounds/a.png")));

    controller.fails = false;
    EXPECT_EQ(runTask(KivApp::resetData(&controller)), std::nullopt);
    EXPECT_EQ(controller.journal, QStringList({"reset", "reset"}));
    EXPECT_FALSE(QFile::exists(home.filePath("data/data.sqlite")));
    EXPECT_FALSE(QDir(home.filePath("data/backgrounds")).exists());
    EXPECT_TRUE(QDir(home.filePath("data")).exists());
}

TEST_F(KivAppTest, LaunchAtLoginWritesAndRemovesTheAutostartEntry)
{
    const QString folder = home.filePath("config/autostart");
    KivApp::LaunchAtLogin login(folder, QStringLiteral("/opt/my apps/tapestrel"));
    EXPECT_FALSE(login.isEnabled());
    EXPECT_TRUE(login.setEnabled(false));

    KivApp::LaunchOnStartupToggle toggle(login);
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_EQ(toggle.text(), "Launch app on system startup");
    toggle.click();
    EXPECT_TRUE(toggle.isChecked());
    ASSERT_TRUE(login.isEnabled());
    QFile entry(login.entryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nExec=/opt/my apps/tapestrel\n")) << text.toStdString();
    entry.close();

    toggle.click();
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_FALSE(QFile::exists(login.entryPath()));

    // An entry that cannot be written leaves the box off.
    home.writeFile("config/blocked", "a file where the folder should be");
    KivApp::LaunchOnStartupToggle blocked(KivApp::LaunchAtLogin(home.filePath("config/blocked/autostart")));
    blocked.click();
    EXPECT_FALSE(blocked.isChecked());
}

TEST_F(KivAppTest, MenuItemsAndTheShowMainWindowHandler)
{
    QObject owner;
    int abouts = 0;
    QAction *about = KivApp::AppMenuButtons::aboutButton(
        true, [&abouts] { ++abouts; }, &owner);
    about->trigger();
    EXPECT_EQ(abouts, 1);
    EXPECT_EQ(about->property("symbol").toString(), "info.circle");
    EXPECT_TRUE(KivApp::AppMenuButtons::aboutButton(false, {}, &owner)->icon().isNull());
    const QAction *quit = KivApp::AppMenuButtons::quitButton(true, &owner);
    EXPECT_EQ(quit->text(), "Quit");
    EXPECT_EQ(quit->property("symbol").toString(), "xmark.circle");
    EXPECT_FALSE(quit->shortcut().isEmpty());
    EXPECT_TRUE(KivApp::AppMenuButtons::quitButton(false, &owner)->icon().isNull());

    // The maker's pages open with the campaign items of every link: the program's name in lower case.
    QList<QUrl> opened;
    Platform::Workspace::shared().setUrlOpener([&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    const QList<QAction *> links = {KivApp::AppMenuButtons::newsletterButton(&owner),
                                    KivApp::AppMenuButtons::getMoreAppsButton(&owner),
                                    KivApp::AppMenuButtons::sendFeedbackButton(&owner)};
    QStringList texts;
    for (QAction *link : links) {
        texts.append(link->text());
        link->trigger();
    }
    Platform::Workspace::shared().setUrlOpener({});
    EXPECT_EQ(texts, QStringList({"Join Newsletter", "Get More Apps", "Send Feedback"}));
    ASSERT_EQ(opened.size(), 3);
    for (const QUrl &url : opened) {
        EXPECT_EQ(url.scheme(), "https");
        EXPECT_EQ(url.query(), "utm_source=tapestrel&utm_medium=app") << url.toString().toStdString();
    }

    QStringList shown;
    KivApp::ShowMainWindowHandler handler("edit-profiles", [&shown](const QString &id) { shown.append(id); });
    Platform::NotificationCenter::defaultCenter().post("somethingElse");
    KivApp::ShowMainWindowHandler::post();
    EXPECT_EQ(shown, QStringList({"edit-profiles"}));
}

} // namespace

#include "KivApp/AppMenuButtons.h"
#include "KivApp/LaunchAtLogin.h"
#include "KivApp/ShowMainWindowHandler.h"
#include "platform/NotificationCenter.h"
#include "platform/Workspace.h"
#include "testsupport/TempHome.h"

#include <QAction>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using KivAppTest = TestSupport::TempHomeTest;

TEST_F(KivAppTest, LaunchAtLoginWritesAndRemovesTheAutostartEntry)
{
    const QString folder = home.filePath("config/autostart");
    KivApp::LaunchAtLogin login(folder, QStringLiteral("/opt/my apps/tapestrel"), {"--no-window"});
    EXPECT_FALSE(login.isEnabled());
    EXPECT_TRUE(login.setEnabled(false));

    KivApp::LaunchOnStartupToggle toggle(login);
    EXPECT_FALSE(toggle.isChecked());
    toggle.click();
    EXPECT_TRUE(toggle.isChecked());
    ASSERT_TRUE(login.isEnabled());
    EXPECT_EQ(
        home.readFile("config/autostart/Tapestrel.desktop"),
        "[Desktop Entry]\nType=Application\nName=Tapestrel\nExec=\"/opt/my apps/tapestrel\" --no-window\n"
        "X-GNOME-Autostart-enabled=true\n");

    toggle.click();
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_FALSE(QFile::exists(login.entryPath()));

    // An entry that cannot be written leaves the box off.
    home.writeFile("config/blocked", "a file where the folder should be");
    KivApp::LaunchOnStartupToggle blocked(KivApp::LaunchAtLogin(home.filePath("config/blocked/autostart")));
    blocked.click();
    EXPECT_FALSE(blocked.isChecked());

    // The desktops' startup settings switch an entry off without removing it; the box shows it off,
    // and turning it on makes an entry that starts the program again.
    struct Entry
    {
        const char *lines;
        bool on;
    };
    for (const Entry &entry :
         {Entry {"Hidden=true", false}, Entry {"X-GNOME-Autostart-enabled = false", false},
          Entry {"Hidden=false\nX-GNOME-Autostart-enabled=true", true},
          Entry {"Exec=x\n[Desktop Action a]\nHidden=true", true}}) {
        SCOPED_TRACE(entry.lines);
        home.writeFile("config/autostart/Tapestrel.desktop",
                       QByteArray("[Desktop Entry]\nExec=x\n") + entry.lines + "\n");
        EXPECT_EQ(login.isEnabled(), entry.on);
        KivApp::LaunchOnStartupToggle shown(login);
        EXPECT_EQ(shown.isChecked(), entry.on);
        if (!entry.on) {
            shown.click();
            EXPECT_TRUE(shown.isChecked());
            EXPECT_TRUE(
                home.readFile("config/autostart/Tapestrel.desktop").contains("Autostart-enabled=true"));
        }
        EXPECT_TRUE(login.setEnabled(false));
        EXPECT_FALSE(QFile::exists(login.entryPath()));
    }

    // A launcher splits the Exec line at blanks and reads quotes, backslashes and % as syntax.
    const QList<std::pair<QString, QString>> commands = {
        {"/usr/bin/tapestrel", "Exec=/usr/bin/tapestrel --no-window"},
        {"/opt/100%/tapestrel", "Exec=/opt/100%%/tapestrel --no-window"},
        {"/opt/a\"b$c\\d'e/tapestrel", "Exec=\"/opt/a\\\\\"b\\\\$c\\\\\\\\d'e/tapestrel\" --no-window"},
    };
    for (const auto &[program, exec] : commands)
        EXPECT_EQ(KivApp::LaunchAtLogin(folder, program, {"--no-window"}).execLine(), exec);
}

// A start brings an entry that an earlier version wrote up to date: only its Exec line changes. Any
// other line is the user's, or another copy's of the program, and stays.
TEST_F(KivAppTest, LaunchAtLoginBringsOnlyAnEarlierVersionsEntryUpToDate)
{
    const QList<QStringList> earlier = {{}, {"--old"}};
    KivApp::LaunchAtLogin login(home.filePath("autostart"), QStringLiteral("/usr/bin/tapestrel"),
                                {"--no-window"});
    EXPECT_TRUE(login.bringUpToDate(earlier));
    EXPECT_FALSE(login.isEnabled()); // the setting stays off

    const QByteArray large = "[Desktop Entry]\nExec=/usr/bin/tapestrel\n" + QByteArray(70 * 1024, '#');
    struct Case
    {
        const char *name;
        QByteArray before;
        QByteArray after;
    };
    for (const Case &test : {
             Case {"an earlier version's",
                   "[Desktop Entry]\nType=Application\nName=Tapestrel\nExec=/usr/bin/tapestrel\n"
                   "X-GNOME-Autostart-enabled=true\n",
                   "[Desktop Entry]\nType=Application\nName=Tapestrel\nExec=/usr/bin/tapestrel --no-window\n"
                   "X-GNOME-Autostart-enabled=true\n"},
             Case {"another earlier version's, switched off",
                   "# mine\n[Desktop Entry]\nHidden=true\nExec=/usr/bin/tapestrel --old\n[X]\nExec=x",
                   "# mine\n[Desktop Entry]\nHidden=true\nExec=/usr/bin/tapestrel --no-window\n[X]\nExec=x"},
             Case {"an earlier version's, saved with CRLF line ends",
                   "[Desktop Entry]\r\nExec=/usr/bin/tapestrel\r\nHidden=true\r\n",
                   "[Desktop Entry]\r\nExec=/usr/bin/tapestrel --no-window\r\nHidden=true\r\n"},
             Case {"changed by the user", "[Desktop Entry]\nExec=/usr/bin/tapestrel --show-profile 1\n", {}},
             Case {"spaced by the user", "[Desktop Entry]\nExec = /usr/bin/tapestrel\n", {}},
             Case {"another copy's", "[Desktop Entry]\nExec=/home/me/build/tapestrel\n", {}},
             Case {"current", "[Desktop Entry]\nExec=/usr/bin/tapestrel --no-window\n", {}},
             Case {"without a main group", "[Desktop Action x]\nExec=/usr/bin/tapestrel\n", {}},
             Case {"not UTF-8", "[Desktop Entry]\nName=\xff\nExec=/usr/bin/tapestrel\n", {}},
             Case {"too large", large, {}},
             Case {"empty", "", {}},
         }) {
        SCOPED_TRACE(test.name);
        home.writeFile("autostart/Tapestrel.desktop", test.before);
        EXPECT_EQ(login.isEnabled(), !test.before.contains("Hidden=true"));
        EXPECT_TRUE(login.bringUpToDate(earlier));
        EXPECT_EQ(home.readFile("autostart/Tapestrel.desktop"),
                  test.after.isNull() ? test.before : test.after);
    }
}

TEST_F(KivAppTest, MenuItemsAndTheShowMainWindowHandler)
{
    QObject owner;
    int abouts = 0;
    QAction *about = KivApp::AppMenuButtons::aboutButton(
        true, [&abouts] { ++abouts; }, &owner);
    about->trigger();
    EXPECT_EQ(abouts, 1);

    // The maker's pages open with the campaign items of every link: the program's name in lower case.
    QList<QUrl> opened;
    Platform::Workspace::shared().setUrlOpener([&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    const QList<QAction *> links = {KivApp::AppMenuButtons::newsletterButton(&owner),
                                    KivApp::AppMenuButtons::getMoreAppsButton(&owner),
                                    KivApp::AppMenuButtons::sendFeedbackButton(&owner)};
    for (QAction *link : links)
        link->trigger();
    Platform::Workspace::shared().setUrlOpener({});
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

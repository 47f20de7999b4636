#include "KivWhatsNew/WhatsNewButton.h"
#include "KivWhatsNew/WhatsNewController.h"

#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace KivWhatsNew;
using KivUtilities::UpdateDetector;

namespace {

Release release(const QString &version, QList<Change> changes = {},
                std::optional<QString> link = std::nullopt)
{
    return Release(version, QStringLiteral("Summary of ") + version, link, std::move(changes));
}

Change change(const QString &id, std::optional<QString> link = std::nullopt)
{
    return Change(id, QStringLiteral("Title ") + id, QStringLiteral("Details of ") + id, link, "clock");
}

QStringList versions(const QList<Release> &releases)
{
    QStringList texts;
    for (const Release &release : releases)
        texts.append(release.version.string);
    return texts;
}

// A settings store that records its calls.
class RecordingSettings : public WhatsNewSettingsStore
{
public:
    bool didDisplay(const QString &version) override
    {
        calls.append("did " + version);
        return shown.contains(version);
    }
    void setDidDisplay(const QString &version) override
    {
        calls.append("set " + version);
        shown.insert(version);
    }
    QStringList calls;
    QSet<QString> shown;
};

class WhatsNewTest : public TestSupport::TempHomeTest
{
protected:
    WhatsNewTest() { QCoreApplication::setApplicationVersion("1.1"); }
    ~WhatsNewTest() override
    {
        QCoreApplication::setApplicationVersion(QString());
        Platform::Workspace::shared().setUrlOpener({});
    }

    // The running version is "1.1"; the first installed one is stored as given (none: nothing).
    UpdateDetector detector(std::optional<QString> firstInstalled)
    {
        if (firstInstalled)
            Platform::UserDefaults::standard().setValue(UpdateDetector::defaultKey, *firstInstalled);
        return UpdateDetector(UpdateDetector::defaultKey, [] { return std::optional<QString>("1.1"); });
    }

    static QList<Release> six()
    {
        return {
            release("1.0-beta.2", {change("a"), change("b", "https://example.org/b")}),
            release("1.0-beta.3", {change("c")}),
            release("1.0-beta.4", {change("d")}),
            release("1.0-beta.5", {change("e")}),
            release("1.0", {change("f")}),
            release("1.1", {change("g"), change("h", "https://example.org/h")}, "https://example.org/1.1")};
    }
};

TEST_F(WhatsNewTest, StoreSortsStablyAndFindsNeighbours)
{
    EXPECT_EQ(versions(ReleaseStore({release("1.1"), release("1.0")}).releases), QStringList({"1.0", "1.1"}));
    // Neither older nor newer than each other: the given order stays.
    EXPECT_EQ(versions(ReleaseStore({release("1.0"), release("1.0-beta.5")}).releases),
              QStringList({"1.0", "1.0-beta.5"}));

    const ReleaseStore store(six());
    EXPECT_FALSE(store.releaseBefore(store.releases.first()));
    EXPECT_FALSE(store.releaseAfter(store.releases.last()));
    EXPECT_EQ(store.releaseAfter(store.releases.first())->version.string, "1.0-beta.3");
    EXPECT_EQ(store.releaseBefore(store.releases.last())->version.string, "1.0");
    EXPECT_FALSE(store.releaseBefore(release("2.0")));
    EXPECT_FALSE(store.releaseAfter(release("2.0")));
    // Equality is by version alone.
    EXPECT_EQ(release("1.0", {change("x")}), release("1.0"));

    // The stored form is taken as it stands; a file is an array of releases.
    const QJsonObject stored = QJsonDocument::fromJson(R"({"releases": [
        {"version": "1.1", "changes": []},
        {"version": "1.0", "summary": "S", "link": "https://example.org", "unknown": 1,
         "changes": [{"id": "x", "title": "T", "symbol": "clock"}, {"id": "x", "title": "U"}]}]})")
                                   .object();
    const ReleaseStore decoded = ReleaseStore::fromJson(stored);
    EXPECT_EQ(versions(decoded.releases), QStringList({"1.1", "1.0"}));
    EXPECT_FALSE(decoded.hasUniqueChangeIDs());
    EXPECT_EQ(decoded.releases[1].summary->key, "S");
    EXPECT_EQ(decoded.releases[1].changes[0].symbol, "clock");
    EXPECT_FALSE(decoded.releases[1].changes[0].details);
    EXPECT_EQ(ReleaseStore::releasesFromJson(R"([{"version": "1.0", "changes": []}])").size(), 1);
    for (const char *bad : {R"({"version": "1.0", "changes": []})", R"([{"changes": []}])",
                            R"([{"version": "1.0"}])", R"([{"version": "1.0", "changes": [{"title": "T"}]}])",
                            R"([{"version": 1, "changes": []}])", "[", ""})
        EXPECT_THROW(ReleaseStore::releasesFromJson(bad), std::runtime_error) << bad;

    // Links that are no web address are none.
    EXPECT_FALSE(Change("x", "T", std::nullopt, "not a link").url());
    EXPECT_TRUE(Change("x", "T", std::nullopt, "https://example.org/x").url());

    EXPECT_DEATH(ReleaseStore({release("1.0", {change("same")}), release("1.1", {change("same")})}),
                 "Cannot load releases. Changes IDs are not unique!");
}

TEST_F(WhatsNewTest, SelectionRuleRunsOncePerLaunch)
{
    const ReleaseStore store(six());
    {
        // A fresh installation of the newest version: nothing, and the flag is set for good.
        UpdateDetector fresh = detector("1.1");
        RecordingSettings settings;
        ReleaseFinder finder(fresh, store, settings, [] { return "1.1"; });
        EXPECT_FALSE(finder.releaseToDisplay());
        EXPECT_EQ(settings.calls, QStringList({"set 1.1"}));
    }
    {
        // Updated to the newest release's version: due once per finder, whatever is written later.
        UpdateDetector updated = detector("1.0");
        RecordingSettings settings;
        ReleaseFinder finder(updated, store, settings, [] { return "1.1"; });
        ASSERT_TRUE(finder.releaseToDisplay());
        EXPECT_EQ(finder.releaseToDisplay()->version.string, "1.1");
        settings.setDidDisplay("1.1");
        EXPECT_TRUE(finder.releaseToDisplay());
        EXPECT_EQ(settings.calls, QStringList({"did 1.1", "set 1.1"}));
        // The next launch: the flag is set.
        ReleaseFinder next(updated, store, settings, [] { return "1.1"; });
        EXPECT_FALSE(next.releaseToDisplay());
    }
    for (const char *running : {"1.2", "1.0"}) {
        // Updated to a version the newest release is not: nothing due, nothing written.
        UpdateDetector updated = detector("0.9");
        RecordingSettings settings;
        ReleaseFinder finder(updated, store, settings, [running] { return QString::fromLatin1(running); });
        EXPECT_FALSE(finder.releaseToDisplay()) << running;
        EXPECT_FALSE(settings.calls.contains("set " + QString::fromLatin1(running)));
    }
    {
        // No releases: nothing, nothing written.
        UpdateDetector fresh = detector("1.1");
        RecordingSettings settings;
        const ReleaseStore empty(QList<Release> {});
        ReleaseFinder finder(fresh, empty, settings);
        EXPECT_FALSE(finder.releaseToDisplay());
        EXPECT_TRUE(settings.calls.isEmpty());
    }
}

TEST_F(WhatsNewTest, WindowShowsOneReleaseAndNavigates)
{
    QList<QUrl> opened;
    Platform::Workspace::shared().setUrlOpener([&](const QUrl &url) {
        opened.append(url);
        return true;
    });
    UpdateDetector updated = detector("1.0");
    WhatsNewController controller(std::make_unique<ReleaseStore>(six()), updated,
                                  std::make_unique<UserDefaultsSettingsStore>(),
                                  WhatsNewView::Config::standard());
    {
        // Offscreen windows, as Wayland's, cannot change their opacity: the window shows whole, and
        // quietly.
        TestSupport::CapturedStandardError printed;
        controller.showLatestRelease();
        QTest::qWait(150);
        EXPECT_FALSE(printed.text().contains("opacity")) << printed.text().toStdString();
    }
    QPointer<WhatsNewWindowController> window = controller.window();
    ASSERT_NE(window, nullptr);
    WhatsNewView *view = window->view();
    EXPECT_TRUE(window->isVisible());
    EXPECT_DOUBLE_EQ(window->windowOpacity(), 1.0);
    // A task bar lists the window by the page's title.
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("What\u2019s\u00a0New"));
    EXPECT_EQ(view->findChild<QLabel *>("WhatsNewVersion")->text(), "1.1");
    QList<ChangeView *> rows = view->findChildren<ChangeView *>();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]->findChild<QLabel *>("ChangeTitle")->text(), "Title g");
    EXPECT_EQ(rows[0]->findChild<QLabel *>("ChangeChevron"), nullptr);
    EXPECT_NE(rows[1]->findChild<QLabel *>("ChangeChevron"), nullptr);
    EXPECT_TRUE(view->findChild<QPushButton *>("ReadFullReleaseNotesButton")->isVisibleTo(view));
    auto *previous = view->findChild<QToolButton *>("PreviousReleaseButton");
    auto *next = view->findChild<QToolButton *>("NextReleaseButton");
    ASSERT_TRUE(previous && next);
    EXPECT_TRUE(previous->isEnabled());
    EXPECT_FALSE(next->isEnabled());
    TestSupport::saveScreenshot(window, "whatsnew/release-1.1");

    // Clicking a linked change or the notes link opens it with the campaign items; others do nothing.
    rows[0]->activate();
    rows[1]->activate();
    view->findChild<QPushButton *>("ReadFullReleaseNotesButton")->click();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].toString(QUrl::RemoveQuery), "https://example.org/h");
    EXPECT_TRUE(opened[0].query().contains("utm_medium=app"));
    EXPECT_EQ(opened[1].toString(QUrl::RemoveQuery), "https://example.org/1.1");

    // Back to the first release: no link, no notes button, the first has no previous.
    for (int i = 0; i < 5; ++i)
        previous->click();
    EXPECT_EQ(view->release().version.string, "1.0-beta.2");
    EXPECT_FALSE(previous->isEnabled());
    EXPECT_TRUE(next->isEnabled());
    EXPECT_FALSE(view->findChild<QPushButton *>("ReadFullReleaseNotesButton")->isVisibleTo(view));
    EXPECT_EQ(view->findChildren<ChangeView *>().size(), 2);

    // "Continue" records the running version, not the release on screen, and closes the window.
    view->findChild<QPushButton *>("ContinueButton")->click();
    EXPECT_TRUE(Platform::UserDefaults::standard().boolean("WhatsNew-DidDisplay-1.1"));
    EXPECT_FALSE(Platform::UserDefaults::standard().contains("WhatsNew-DidDisplay-1.0-beta.2"));
    EXPECT_TRUE(!window || !window->isVisible());

    // One release and no newsletter: no navigation, no newsletter row.
    WhatsNewView::Config plain = WhatsNewView::Config::standard();
    plain.isNewsletterInfoEnabled = false;
    const ReleaseStore single({release("1.1")});
    WhatsNewView lone(single.releases.first(), plain, &single, nullptr);
    EXPECT_EQ(lone.findChild<QToolButton *>("PreviousReleaseButton"), nullptr);
    EXPECT_EQ(lone.findChild<QWidget *>("NewsletterRow"), nullptr);
}

TEST_F(WhatsNewTest, DueNotesWaitForTheEventLoopAndForModalWindows)
{
    UpdateDetector updated = detector("1.0");
    auto controller = std::make_unique<WhatsNewController>(std::make_unique<ReleaseStore>(six()), updated,
                                                           std::make_unique<UserDefaultsSettingsStore>(),
                                                           WhatsNewView::Config::standard());
    QDialog modal;
    modal.setWindowModality(Qt::ApplicationModal);
    modal.show();
    controller->showIfNeeded();
    EXPECT_EQ(controller->window(), nullptr);
    QCoreApplication::processEvents();
    QTest::qWait(400);
    EXPECT_EQ(controller->window(), nullptr) << "shown over a modal window";
    modal.close();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return controller->window() != nullptr; }));
    EXPECT_EQ(controller->window()->view()->release().version.string, "1.1");
    controller->window()->close();

    // The menu item opens the newest release whatever the flags; it does nothing once the
    // controller is gone.
    Platform::UserDefaults::standard().setValue("WhatsNew-DidDisplay-1.1", true);
    std::unique_ptr<QAction> item(whatsNewButton(controller.get(), true, nullptr));
    item->trigger();
    ASSERT_NE(controller->window(), nullptr);
    controller->window()->close();
    controller.reset();
    item->trigger();
}

TEST_F(WhatsNewTest, ReleasesFileLoadsSortedOrStopsWithItsMessage)
{
    home.writeFile("notes.json", R"([{"version": "1.1", "changes": [{"id": "b", "title": "B"}]},
                                     {"version": "1.0", "changes": [{"id": "a", "title": "A"}]}])");
    home.writeFile("broken.json", R"([{"version": "1.1"}])");
    UpdateDetector fresh = detector("1.1");
    const auto load = [&](const QString &name) {
        return WhatsNewController::fromFile(name, fresh, std::make_unique<RecordingSettings>(),
                                            WhatsNewView::Config::standard(), home.path());
    };
    EXPECT_EQ(versions(load("notes")->releaseStore().releases), QStringList({"1.0", "1.1"}));
    EXPECT_DEATH(load("missing"), "File missing.json could not be found!");
    EXPECT_DEATH(load("broken"), "File broken.json could not be decoded. Error: ");
}

} // namespace

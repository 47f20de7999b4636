#include "KivIntroduction/AdjustWindowLevelToIntroductionModifier.h"
#include "KivIntroduction/IntroductionController.h"
#include "KivIntroduction/IntroductionPages.h"

#include "KivUtilities/UpdateDetector.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "testsupport/Reach.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QCoro/QCoroTimer>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace KivIntroduction;

namespace {

// A plain page with a chosen id, availability and level wish.
class TestPage : public CenteredTextPage
{
public:
    TestPage(QString id, bool available = true, bool regular = false)
        : CenteredTextPage(id, "Title " + id)
        , m_available(available)
        , m_regular(regular)
    { }
    bool isAvailable() const override { return m_available; }
    bool prefersRegularWindowLevel() const override { return m_regular; }
    bool m_available;
    bool m_regular;
};

IntroductionConfiguration configuration(QList<PagePointer> pages)
{
    IntroductionConfiguration configuration;
    configuration.pages = std::move(pages);
    configuration.transitionDuration = 0;
    configuration.shouldDisplayIntroductionChecker =
        std::make_shared<DefaultShouldDisplayChecker>(QStringLiteral("didShowIntroduction"));
    return configuration;
}

QString currentId(const IntroductionModel &model)
{
    return model.currentPage()->id();
}

struct Flags
{
    bool next, finish, back, hasNext;
    bool operator==(const Flags &) const = default;
};

Flags flags(const IntroductionModel &model)
{
    return {model.canGoNext(), model.canFinish(), model.canGoBack(), model.hasNextStep()};
}

// Ends an event loop that the test's clicks should have ended and fails the test with `what`, a few
// seconds on: a test left waiting would only meet the suite's time limit, saying nothing.
class Deadline
{
public:
    Deadline(const char *what, const std::function<void()> &end)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [what, end] {
            ADD_FAILURE() << what;
            end();
        });
        m_timer.start(std::chrono::seconds(10));
    }

private:
    QTimer m_timer;
};

class IntroductionTest : public TestSupport::TempHomeTest
{
protected:
    ~IntroductionTest() override { LicenseIntroductionPage::setQuitHandler({}); }

    QString licenseFolder()
    {
        home.writeFile("licence/license.html", "<h1>Licence</h1><p>Use it well.</p>");
        return home.filePath("licence");
    }

    // The application's shape: start, licence, two pages, final.
    QList<PagePointer> fivePages()
    {
        return {std::make_shared<StartIntroductionPage>("Hello!", "Welcome."),
                std::make_shared<LicenseIntroductionPage>("license.html", std::nullopt, licenseFolder()),
                std::make_shared<TestPage>("intro-editor"), std::make_shared<TestPage>("intro-picker"),
                std::make_shared<FinalIntroductionPage>("Ready", "")};
    }
};

TEST_F(IntroductionTest, ModelNavigatesSkipsUnavailablePagesAndFollowsLocks)
{
    // One page: nothing to move to, only Finish.
    IntroductionModel single(configuration({std::make_shared<TestPage>("only")}));
    EXPECT_EQ(flags(single), (Flags {false, true, false, false}));
    single.next();
    single.back();
    EXPECT_EQ(currentId(single), "only");
    EXPECT_EQ(single.progress(), 0);

    // The licence already accepted: it is skipped both ways.
    Platform::UserDefaults::standard().setValue("didAcceptLicense", true);
    IntroductionModel model(configuration(fivePages()));
    EXPECT_EQ(flags(model), (Flags {true, false, false, true}));
    EXPECT_EQ(model.progress(), 0);
    model.next();
    EXPECT_EQ(currentId(model), "intro-editor");
    EXPECT_DOUBLE_EQ(model.progress(), 0.6);
    EXPECT_TRUE(model.isMovingForward());
    model.back();
    EXPECT_EQ(currentId(model), "start");
    EXPECT_FALSE(model.isMovingForward());
    EXPECT_DOUBLE_EQ(model.progress(), 0.2);

    // Not accepted: the licence is a stop.
    Platform::UserDefaults::standard().setValue("didAcceptLicense", false);
    model.next();
    EXPECT_EQ(currentId(model), "license");
    model.next();
    model.next();
    EXPECT_EQ(currentId(model), "intro-picker");
    // Locks act on the flags only; a direct call still moves.
    model.setMovingForwardLocked(true);
    EXPECT_EQ(flags(model), (Flags {false, false, true, true}));
    model.next();
    EXPECT_EQ(currentId(model), "end");
    // On the last page the forward lock holds Finish.
    EXPECT_EQ(flags(model), (Flags {false, false, true, false}));
    model.setMovingForwardLocked(false);
    EXPECT_EQ(flags(model), (Flags {false, true, true, false}));
    EXPECT_DOUBLE_EQ(model.progress(), 1.0);

    // Unavailable pages are skipped; a repeated id counts at its first place.
    auto twin = std::make_shared<TestPage>("a");
    IntroductionModel skipping(
        configuration({std::make_shared<TestPage>("a"), std::make_shared<TestPage>("b", false),
                       std::make_shared<TestPage>("c"), twin}));
    skipping.next();
    EXPECT_EQ(currentId(skipping), "c");
    EXPECT_EQ(skipping.nextPage(twin)->id(), "c");
    EXPECT_EQ(skipping.previousPage(twin), nullptr);
    EXPECT_EQ(skipping.nextPage(std::make_shared<TestPage>("elsewhere")), nullptr);
}

// The shown flag itself is recorded and read by the window's run below.
TEST_F(IntroductionTest, CheckersFollowAnUpdateAndTheLicence)
{
    // An updated installation never shows it, even with no flag stored.
    Platform::UserDefaults::standard().setValue(KivUtilities::UpdateDetector::defaultKey, "1.0");
    KivUtilities::UpdateDetector updated(KivUtilities::UpdateDetector::defaultKey,
                                         [] { return std::optional<QString>("1.1"); });
    EXPECT_FALSE(DefaultShouldDisplayChecker("neverShown", &updated).shouldDisplay());
    EXPECT_TRUE(DefaultShouldDisplayChecker("neverShown").shouldDisplay());

    LicenseAgreementChecker licence;
    EXPECT_FALSE(licence.isAccepted());
    Platform::UserDefaults::standard().setValue("didAcceptLicense", true);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return licence.isAccepted(); }));
}

TEST_F(IntroductionTest, WindowRunsModallyUntilFinishAndTheLicenceDecides)
{
    QList<bool> quits;
    LicenseIntroductionPage::setQuitHandler([&] { quits.append(true); });
    IntroductionConfiguration config = configuration(fivePages());
    IntroductionController controller(config, IntroductionView::Style::standard(), QSize(1000, 600));
    IntroductionWindowController &window = controller.windowController();
    IntroductionView *view = window.view();
    IntroductionModel &model = view->model();
    EXPECT_FALSE(window.isVisible());
    // The offscreen screen is narrower than the size asked for.
    EXPECT_EQ(window.QWidget::size(),
              QSize(1000, 600).boundedTo(QGuiApplication::primaryScreen()->availableGeometry().size()));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);

    // Walks the pages the way a person would, from inside the modal run.
    QStringList seen;
    auto click = [&](const char *name) {
        auto *button = view->currentPageView()->findChild<QPushButton *>(name);
        if (!button)
            button = view->bottomBar()->findChild<QPushButton *>(name);
        ASSERT_NE(button, nullptr) << name;
        ASSERT_TRUE(button->isVisible() && button->isEnabled()) << name;
        button->click();
    };
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(window.isModal());
        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(view->bottomBar()->isVisible());
        // The start page: icon alone, then the texts and Continue.
        ASSERT_TRUE(
            TestSupport::waitUntil([&] { return view->currentPageView()->property("state").toInt() == 2; },
                                   std::chrono::seconds(5)));
        TestSupport::saveScreenshot(&window, "introduction/1-start");
        click("ContinueButton");
        seen.append(currentId(model));
        TestSupport::saveScreenshot(&window, "introduction/2-license");
        EXPECT_TRUE(
            view->currentPageView()->findChild<QTextBrowser *>()->toPlainText().contains("Use it well."));
        click("RejectButton");
        EXPECT_EQ(quits.size(), 1);
        EXPECT_EQ(Platform::UserDefaults::standard().value("didAcceptLicense"), QVariant(false));
        // Return takes the focused button, as on every page.
        auto *accept = view->currentPageView()->findChild<QPushButton *>("AcceptButton");
        ASSERT_NE(accept, nullptr);
        accept->setFocus();
        QTest::keyClick(accept, Qt::Key_Return);
        EXPECT_EQ(Platform::UserDefaults::standard().value("didAcceptLicense"), QVariant(true));
        seen.append(currentId(model));
        EXPECT_TRUE(view->bottomBar()->isVisible());
        TestSupport::saveScreenshot(&window, "introduction/3-editor");
        // Going back skips the accepted licence.
        click("GoBackButton");
        seen.append(currentId(model));
        model.next();
        click("ContinueButton");
        seen.append(currentId(model));
        TestSupport::saveScreenshot(&window, "introduction/4-picker");
        click("ContinueButton");
        seen.append(currentId(model));
        EXPECT_FALSE(view->bottomBar()->isVisible());
        TestSupport::saveScreenshot(&window, "introduction/5-end");
        click("FinishButton");
    });
    {
        const Deadline deadline("the modal run did not end at Finish", [&] { window.stopModal(); });
        EXPECT_TRUE(controller.runModalIfNeeded(true));
    }
    EXPECT_EQ(seen, QStringList({"license", "intro-editor", "start", "intro-picker", "end"}));
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    // Otherwise it is still due, and the next run would be modal again.
    ASSERT_EQ(Platform::UserDefaults::standard().value("didShowIntroduction"), QVariant(true));

    // Shown once: not due any more, unless forced (and then no modal run stops on closing).
    ASSERT_FALSE(controller.showIfNeeded(false));
    EXPECT_FALSE(controller.runModalIfNeeded(true));
    EXPECT_TRUE(controller.showIfNeeded(true));
    EXPECT_TRUE(window.isVisible());
    window.close();
    EXPECT_FALSE(window.isModal());
}

// The introduction runs inside the application's event loop, as at a first start, where the last
// window closing ends the application.
TEST_F(IntroductionTest, FinishingLeadsOnAndAnOutsideCloseAnswersForTheLicence)
{
    int quits = 0;
    LicenseIntroductionPage::setQuitHandler([&] { ++quits; });
    IntroductionController controller(configuration(fivePages()), IntroductionView::Style::standard(),
                                      QSize(800, 500));
    IntroductionWindowController &window = controller.windowController();
    IntroductionModel &model = window.view()->model();
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    // A task bar lists it under the application's name.
    EXPECT_EQ(window.windowTitle(), "Tapestrel");

    QApplication::setQuitOnLastWindowClosed(true);
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            // Closed from outside before the licence is answered: what "Reject" does.
            model.requestClose();
            EXPECT_EQ(quits, 1);
            EXPECT_EQ(defaults.value("didAcceptLicense"), QVariant(false));
            EXPECT_TRUE(window.isVisible());
            model.next();
            window.view()->currentPageView()->findChild<QPushButton *>("AcceptButton")->click();
            EXPECT_EQ(currentId(model), "intro-editor");
            // After it: what "Finish" does, unless an operation holds moving forward.
            model.setMovingForwardLocked(true);
            model.requestClose();
            EXPECT_TRUE(window.isVisible());
            EXPECT_FALSE(defaults.persistentValue("didShowIntroduction").isValid());
            model.setMovingForwardLocked(false);
            model.requestClose();
        });
        EXPECT_TRUE(controller.runModalIfNeeded(true));
        EXPECT_EQ(defaults.value("didShowIntroduction"), QVariant(true));
        EXPECT_FALSE(window.isVisible());
        // What follows the introduction decides when the application ends.
        QTimer::singleShot(50, &window, [] { QCoreApplication::exit(7); });
    });
    const Deadline deadline("closing did not end the introduction", [] { QCoreApplication::exit(-1); });
    EXPECT_EQ(QApplication::exec(), 7);
    EXPECT_EQ(quits, 1);
}

TEST_F(IntroductionTest, OperationPageLocksNavigationWhileItWorks)
{
    bool release = false;
    auto operation = [&release]() -> QCoro::Task<void> {
        while (!release)
            co_await QCoro::sleepFor(std::chrono::milliseconds(10));
    };
    IntroductionView view(configuration({std::make_shared<TestPage>("before"),
                                         std::make_shared<OperationPage>("work", "Working", std::nullopt,
                                                                         std::nullopt, true, operation),
                                         std::make_shared<TestPage>("after")}),
                          IntroductionView::Style::inset());
    view.resize(800, 500);
    view.show();
    IntroductionModel &model = view.model();
    model.next();
    EXPECT_EQ(currentId(model), "work");
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return view.currentPageView()->property("isWorking").toBool(); }));
    EXPECT_FALSE(model.canGoNext());
    EXPECT_FALSE(model.canGoBack());
    EXPECT_FALSE(view.bottomBar()->findChild<QPushButton *>("ContinueButton")->isEnabled());
    release = true;
    // Done: the locks are gone and the next page follows without a click.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return currentId(model) == "after"; }));
    EXPECT_TRUE(model.canGoBack());
    model.back();
    EXPECT_TRUE(view.currentPageView()->property("isDone").toBool());
    EXPECT_FALSE(view.currentPageView()->property("isWorking").toBool());
}

// A second move while a page still slides in, forward or back: only the pages of that move stay shown,
// and once it has slid in, only the current page, in place.
TEST_F(IntroductionTest, TwoMovesWithinOneSlideLeaveOnlyTheCurrentPageShown)
{
    IntroductionConfiguration config = configuration(
        {std::make_shared<TestPage>("a"), std::make_shared<TestPage>("b"), std::make_shared<TestPage>("c")});
    config.transitionDuration = 0.25;
    IntroductionView view(config, IntroductionView::Style::standard());
    view.resize(800, 500);
    view.show();
    IntroductionModel &model = view.model();
    // The slides go by the test's clock: held, and moved on by hand.
    const auto advance = [&view](int milliseconds) {
        for (QAbstractAnimation *slide :
             view.findChildren<QAbstractAnimation *>(Qt::FindDirectChildrenOnly)) {
            if (slide->state() == QAbstractAnimation::Stopped)
                continue;
            slide->pause();
            slide->setCurrentTime(slide->currentTime() + milliseconds);
        }
    };
    const auto shown = [&view] {
        QStringList ids;
        for (const QWidget *page : view.findChildren<QWidget *>()) {
            if (page->property("pageId").isValid() && page->isVisible())
                ids.append(page->property("pageId").toString());
        }
        ids.sort();
        return ids.join(' ').toStdString();
    };
    for (const bool forward : {true, false}) {
        SCOPED_TRACE(forward ? "on" : "back");
        model.next();
        advance(100);
        forward ? model.next() : model.back();
        advance(0);
        const std::string both = forward ? "b c" : "a b";
        EXPECT_EQ(shown(), both);
        // Where the first slide would have ended: the page going out is still on its way.
        advance(150);
        EXPECT_EQ(shown(), both);
        advance(100);
        EXPECT_EQ(shown(), forward ? "c" : "a");
        const QWidget *frame = view.currentPageView()->parentWidget()->parentWidget();
        EXPECT_EQ(frame->geometry(), frame->parentWidget()->rect());
        while (model.canGoBack())
            model.back();
        advance(250);
    }
}

TEST_F(IntroductionTest, APageTallerThanTheWindowScrollsRatherThanCutItsText)
{
    // A text this long makes the start page taller than the window on the offscreen screen (800 by
    // 800 points); it and Continue come into the page only after the icon's animation.
    IntroductionController controller(
        configuration({std::make_shared<StartIntroductionPage>("Hello!", QString("Welcome. ").repeated(500)),
                       std::make_shared<TestPage>("next")}),
        IntroductionView::Style::standard(), QSize(1000, 600));
    IntroductionWindowController &window = controller.windowController();
    window.showWindow();
    QWidget *page = window.view()->currentPageView();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->property("state").toInt() == 2; }));
    auto *text = page->findChild<QLabel *>("SubtitleView");
    EXPECT_GE(text->height(), text->heightForWidth(text->width()));
    EXPECT_GT(page->height(), window.height());
    EXPECT_TRUE(TestSupport::reachable(page->findChild<QPushButton *>("ContinueButton"),
                                       QGuiApplication::primaryScreen()->availableGeometry()));
    window.close();
}

TEST_F(IntroductionTest, WindowLevelFollowsThePageOnChangesOnly)
{
    QStringList posted;
    QObject context;
    for (const QString &name : {IntroductionView::didIncreaseIntroductionWindowLevel,
                                IntroductionView::didDecreaseIntroductionWindowLevel})
        Platform::NotificationCenter::defaultCenter().observe(
            name, &context, [&posted, name](const QVariantMap &) { posted.append(name); });
    IntroductionController controller(
        configuration({std::make_shared<TestPage>("a"), std::make_shared<TestPage>("b"),
                       std::make_shared<TestPage>("c", true, true), std::make_shared<TestPage>("d")}),
        IntroductionView::Style::standard(), QSize(600, 400));
    IntroductionWindowController &window = controller.windowController();
    QWidget follower;
    new AdjustWindowLevelToIntroductionModifier(&follower, 0);
    IntroductionModel &model = window.view()->model();
    model.next(); // same level: nothing
    EXPECT_TRUE(posted.isEmpty());
    model.next();
    EXPECT_EQ(posted, QStringList({IntroductionView::didDecreaseIntroductionWindowLevel}));
    EXPECT_EQ(IntroductionView::windowLevel(&window), 0);
    EXPECT_EQ(IntroductionView::windowLevel(&follower), 0);
    model.next();
    EXPECT_EQ(posted.size(), 2);
    EXPECT_EQ(IntroductionView::windowLevel(&window), 24);
    EXPECT_EQ(IntroductionView::windowLevel(&follower), 24);

    // A missing licence file shows a notice instead of failing.
    EXPECT_TRUE(LicenseIntroductionPage("missing.html", std::nullopt, home.path())
                    .licenseHtml()
                    .contains("could not"));
}

} // namespace

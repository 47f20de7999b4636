#include "KivApp/WindowRoom.h"
#include "KivIntroduction/IntroductionController.h"
#include "KivWhatsNew/ReleaseStore.h"
#include "KivWhatsNew/WhatsNewController.h"
#include "Tapestrel/TapestrelReleases.h"
#include "Tapestrel/ui/NotAvailableAppsView.h"
#include "Tapestrel/ui/TapestrelIntroduction.h"
#include "Tapestrel/ui/TapestrelURL.h"

#include "platform/UserDefaults.h"
#include "testsupport/Reach.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace {

using FirstRunTest = TestSupport::TempHomeTest;

TEST_F(FirstRunTest, TheProgramsReleasesAreCompleteAndOrdered)
{
    const KivWhatsNew::ReleaseStore store(TapestrelReleases::all());
    QStringList versions, links;
    for (const KivWhatsNew::Release &release : store.releases) {
        versions.append(release.version.string);
        EXPECT_TRUE(release.url() && release.summary && !release.changes.isEmpty())
            << release.version.string.toStdString();
        for (const KivWhatsNew::Change &change : release.changes) {
            EXPECT_TRUE(QRegularExpression("^[a-z]+(-[a-z]+)*$").match(change.id).hasMatch())
                << change.id.toStdString();
            EXPECT_FALSE(change.title.key.isEmpty());
            EXPECT_TRUE(change.details && change.symbol);
            if (change.link)
                links.append(*change.link);
        }
    }
    EXPECT_EQ(versions, QStringList({"1.0-beta.2", "1.0-beta.3", "1.0-beta.4", "1.0-beta.5", "1.0", "1.1"}));
    EXPECT_TRUE(store.hasUniqueChangeIDs());
    links.sort();
    EXPECT_EQ(links,
              QStringList({toRawValue(TapestrelURL::alfredWorkflow), toRawValue(TapestrelURL::community),
                           toRawValue(TapestrelURL::community)}));

    // The newest notes as a person sees them.
    KivUtilities::UpdateDetector detector(KivUtilities::UpdateDetector::defaultKey,
                                          [] { return std::optional<QString>("1.1"); });
    KivWhatsNew::WhatsNewView::Config config = KivWhatsNew::WhatsNewView::Config::standard();
    KivWhatsNew::WhatsNewController controller(
        std::make_unique<KivWhatsNew::ReleaseStore>(store.releases), detector,
        std::make_unique<KivWhatsNew::UserDefaultsSettingsStore>(), config);
    controller.showLatestRelease();
    ASSERT_NE(controller.window(), nullptr);
    TestSupport::saveScreenshot(controller.window(), "whatsnew/program-1.1");
    controller.show(store.releases.first());
    TestSupport::saveScreenshot(controller.window(), "whatsnew/program-1.0-beta.2");
}

TEST_F(FirstRunTest, TextsSpeakOfThisComputerAndWhereTheSwitcherIs)
{
    auto subtitleOfSwitcherPage = [](bool tray) {
        const auto controller = TapestrelIntroduction::makeController(tray);
        KivIntroduction::IntroductionWindowController &window = controller->windowController();
        KivIntroduction::IntroductionModel &model = window.view()->model();
        while (model.currentPage()->id() != QLatin1String("intro-picker"))
            model.next();
        return window.view()->currentPageView()->findChild<QLabel *>("SubtitleView")->property("plainText");
    };
    EXPECT_EQ(subtitleOfSwitcherPage(true),
              "To quickly switch between profiles, open the Profile Switcher in the system tray. Select a "
              "profile to apply it.");
    EXPECT_EQ(subtitleOfSwitcherPage(false),
              "To quickly switch between profiles, open the Profile Switcher with Ctrl+Shift+P or from the "
              "View menu of the main window. Select a profile to apply it.");

    const NotAvailableAppsView sheet(nullptr);
    QStringList texts;
    for (const QLabel *label : sheet.findChildren<QLabel *>())
        texts.append(label->text());
    EXPECT_TRUE(texts.contains("Tapestrel can adjust themes and settings in a variety of apps. Here\u2019s a "
                               "list of supported apps that are currently not installed on this computer."))
        << texts.join(u'|').toStdString();
}

// How many of a picture's pixels differ from their neighbour within a pair: a picture drawn in one
// pixel per point on a screen of scale 2 shows as pairs of equal pixels, and has none.
int finerThanAPoint(const QImage &picture)
{
    int differing = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x + 1 < picture.width(); x += 2)
            differing += picture.pixel(x, y) != picture.pixel(x + 1, y);
    }
    return differing;
}

// Also runs at a scale of 2, on a screen of 960 by 540 points. The offscreen screens give no work area,
// as a Wayland compositor does: the window leaves room for a panel that may take the top of the
// screen, and the keyboard leads through it (Return goes on, Escape goes back).
TEST_F(FirstRunTest, TheProgramsIntroductionShowsItsFivePagesWithinTheScreenAtAnyScale)
{
    const auto controller = TapestrelIntroduction::makeController();
    EXPECT_TRUE(controller->isDue());
    KivIntroduction::IntroductionWindowController &window = controller->windowController();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_EQ(QGuiApplication::primaryScreen()->availableGeometry(), screen);
    const QRect room = KivApp::WindowRoom::of(QGuiApplication::primaryScreen());
    ASSERT_FALSE(room.contains(QRect(room.topLeft(), QSize(1000, 600))));
    // As large as asked where the screen has room, as large as the room where it has not.
    EXPECT_EQ(window.QWidget::size(), QSize(1000, 600).boundedTo(room.size()));
    KivIntroduction::IntroductionModel &model = window.view()->model();
    EXPECT_DOUBLE_EQ(model.configuration().transitionDuration, 0.25);
    window.show();
    EXPECT_TRUE(room.contains(window.frameGeometry()));
    // Where a compositor puts it below a panel at the top.
    window.move(screen.left(), screen.top() + KivApp::WindowRoom::panelAllowance);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const qreal scale = window.devicePixelRatio();
    // The background photograph is drawn in the screen's own pixels.
    const QImage background = window.findChild<QWidget *>("IntroductionBackground")->grab().toImage();
    if (scale >= 2) {
        EXPECT_GT(finerThanAPoint(background), background.width() * background.height() / 100);
    }
    // Keys go where a person's would: to the widget with the keyboard.
    const auto press = [&window](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget *focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : &window, key, modifiers);
    };
    const auto tabTo = [&press](QWidget *target, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        for (int tabs = 0; tabs < 20 && QApplication::focusWidget() != target; ++tabs)
            press(Qt::Key_Tab, modifiers);
        return QApplication::focusWidget() == target;
    };
    // Where Escape leads from each page: back where the page shows Go Back (past the accepted licence).
    const QStringList escapeTo = {"start", "license", "start", "intro-editor", "end"};
    QHash<QString, QWidget *> firstFocus;
    int illustrations = 0;
    QStringList ids;
    for (int page = 0; page < 5; ++page) {
        ids.append(model.currentPage()->id());
        QWidget *view = window.view()->currentPageView();
        if (page == 0) {
            ASSERT_TRUE(TestSupport::waitUntil([&] { return view->property("state").toInt() == 2; }));
        }
        TestSupport::spinEventLoop(std::chrono::milliseconds(1100));
        TestSupport::saveScreenshot(
            &window,
            QStringLiteral("introduction/program-%1-%2@%3x").arg(page + 1).arg(ids.last()).arg(scale));
        // On screens down to 960 by 540 points no page needs scrolling: what can shrink does.
        for (QPushButton *button : window.findChildren<QPushButton *>()) {
            if (button->isVisible()) {
                EXPECT_TRUE(TestSupport::reachable(button, screen, false))
                    << ids.last().toStdString() << " " << button->text().toStdString();
            }
        }
        // The illustrations fill their room's width or height, in the screen's own pixels.
        if (auto *image = view->findChild<QLabel *>("IntroductionImage")) {
            ++illustrations;
            const QPixmap picture = image->pixmap();
            EXPECT_EQ(picture.devicePixelRatio(), scale);
            const QSizeF shown = picture.deviceIndependentSize();
            EXPECT_TRUE(qAbs(shown.width() - image->width()) < 1
                        || qAbs(shown.height() - image->height()) < 1)
                << shown.width() << "x" << shown.height() << " in " << image->width() << "x"
                << image->height();
        }
        if (page == 1) {
            EXPECT_TRUE(
                view->findChild<QTextBrowser *>()->toPlainText().contains("Tapestrel License Agreement"));
            // No button has the keyboard: Return does not accept the licence for the person.
            EXPECT_EQ(qobject_cast<QPushButton *>(QApplication::focusWidget()), nullptr);
            press(Qt::Key_Return);
            press(Qt::Key_Escape);
            EXPECT_EQ(model.currentPage()->id(), "license");
            ASSERT_TRUE(tabTo(view->findChild<QPushButton *>("AcceptButton")));
            press(Qt::Key_Return);
            continue;
        }
        // Each showing of a page puts the keyboard where its first showing did, on the button that
        // leads on: Return leads on again after Escape or Go Back, never back once more.
        QWidget *first = firstFocus[ids.last()] = QApplication::focusWidget();
        ASSERT_NE(first, nullptr) << ids.last().toStdString();
        EXPECT_EQ(first->objectName().toStdString(), page == 4 ? "FinishButton" : "ContinueButton");
        press(Qt::Key_Escape);
        const QString back = model.currentPage()->id();
        EXPECT_EQ(back.toStdString(), escapeTo[page].toStdString());
        const auto returnLeadsOn = [&] {
            EXPECT_EQ(QApplication::focusWidget(), firstFocus.value(back)) << back.toStdString();
            press(Qt::Key_Return);
            EXPECT_EQ(model.currentPage()->id().toStdString(), ids.last().toStdString());
            EXPECT_EQ(QApplication::focusWidget(), first);
        };
        if (back != ids.last()) {
            returnLeadsOn();
            ASSERT_TRUE(tabTo(window.findChild<QPushButton *>("GoBackButton"), Qt::ShiftModifier));
            press(Qt::Key_Return);
            EXPECT_EQ(model.currentPage()->id().toStdString(), back.toStdString());
            returnLeadsOn();
        }
        press(Qt::Key_Return);
    }
    EXPECT_EQ(ids, QStringList({"start", "license", "intro-editor", "intro-picker", "end"}));
    // Return on the last page finished the introduction.
    EXPECT_TRUE(Platform::UserDefaults::standard().boolean("didShowIntroduction"));
    EXPECT_FALSE(window.isVisible());
    QStringList titles;
    for (QLabel *label : window.findChildren<QLabel *>("TitleView"))
        titles.append(label->text());
    for (const char *title :
         {"Hello!", "License Agreement", "Profile Editor", "Profile Switcher", "Tapestrel is ready to use"})
        EXPECT_TRUE(titles.contains(title)) << title;
    EXPECT_EQ(illustrations, 2);
}

} // namespace

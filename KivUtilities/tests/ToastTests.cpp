#include "KivUtilities/ToastController.h"
#include "KivUtilities/ToastView.h"
#include "KivUtilities/ToastViewModifier.h"
#include "platform/NotificationCenter.h"
#include "testsupport/ManualClock.h"
#include "testsupport/Screenshots.h"

#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace KivUtilities;
using namespace std::chrono_literals;

namespace {

class ToastTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.resize(480, 320);
        auto *layout = new QVBoxLayout(&host);
        layout->addWidget(new QLabel(QStringLiteral("Window content")));
        overlay = toastOverlay(&host);
        follow(overlay);
        host.show();
    }

    // Times the overlay's toasts by the test's clock.
    void follow(ToastViewModifier *modifier)
    {
        modifier->timeline().setClock(clock.function());
        clock.drive([modifier = QPointer<ToastViewModifier>(modifier)] {
            if (modifier)
                modifier->timeline().advance();
        });
    }

    // Moves the clock to `ms` after the test's start.
    void at(int ms) { clock.runTo(std::chrono::milliseconds(ms)); }

    static void post(const QVariantMap &userInfo)
    {
        Platform::NotificationCenter::defaultCenter().post(QStringLiteral("ShowToastNotification"), userInfo);
    }

    // Declared first: the overlays read it until the host goes.
    TestSupport::ManualClock clock;
    QWidget host;
    ToastViewModifier *overlay = nullptr;
};

} // namespace

TEST_F(ToastTest, OneToastShowsForItsDisplayTimeAtTheBottom)
{
    EXPECT_EQ(toastOverlay(&host), overlay) << "one overlay per host";
    ToastController::shared().show(LocalizedStringKey(QStringLiteral("Copied")),
                                   QStringLiteral("document.on.document"), ToastPosition::Bottom);
    EXPECT_TRUE(overlay->isToastVisible());

    at(600);
    ToastView *toast = overlay->toastView();
    EXPECT_TRUE(toast->isVisible());
    EXPECT_EQ(toast->text(), "Copied");
    EXPECT_EQ(toast->symbol(), "document.on.document");
    // 20 points above the host's bottom, centred.
    EXPECT_EQ(host.height() - toast->geometry().bottom() - 1, 20);
    EXPECT_EQ(toast->geometry().center().x(), host.rect().center().x());
    EXPECT_TRUE(QFileInfo::exists(TestSupport::saveScreenshot(&host, QStringLiteral("toast"))));

    // Shown for 2.2 s, then 0.4 s to leave.
    at(2199);
    EXPECT_TRUE(overlay->isToastVisible());
    at(2200);
    EXPECT_FALSE(overlay->isToastVisible());
    at(2599);
    EXPECT_TRUE(toast->isVisible()) << "still leaving";
    EXPECT_GT(toast->geometry().bottom(), host.height() - 20 - 1) << "it slides down";
    at(2600);
    EXPECT_FALSE(toast->isVisible()) << "the toast widget is gone once it has left";
}

TEST_F(ToastTest, ASecondRequestReplacesTheShownToastQuickly)
{
    ToastController::shared().show(LocalizedStringKey(QStringLiteral("First")));
    at(500);
    ToastController::shared().show(LocalizedStringKey(QStringLiteral("Second")), std::nullopt,
                                   ToastPosition::Top);
    EXPECT_FALSE(overlay->isToastVisible());
    EXPECT_TRUE(overlay->isTransitioning());
    at(619);
    EXPECT_TRUE(overlay->toastView()->isVisible());
    at(620);
    EXPECT_FALSE(overlay->toastView()->isVisible()) << "the fast hide takes 0.12 s";
    at(649);
    EXPECT_EQ(overlay->currentMessage().key, "First");
    EXPECT_TRUE(overlay->isTransitioning());
    at(650);
    EXPECT_TRUE(overlay->isToastVisible());
    EXPECT_FALSE(overlay->isTransitioning());
    EXPECT_EQ(overlay->currentMessage().key, "Second");
    EXPECT_EQ(overlay->currentPosition(), ToastPosition::Top);
    // The second one appeared 0.15 s after its request and gets its full display time from then.
    at(650 + 2199);
    EXPECT_TRUE(overlay->isToastVisible());
    at(650 + 2200);
    EXPECT_FALSE(overlay->isToastVisible());
    at(650 + 2200 + 400);
    EXPECT_FALSE(overlay->toastView()->isVisible());
    EXPECT_LE(overlay->toastView()->geometry().bottom(), 0) << "a top toast leaves through the top edge";
}

TEST_F(ToastTest, OnlyTheLatestRequestDuringAReplacementShowsAndIsKeptWhole)
{
    ToastController::shared().show(LocalizedStringKey(QStringLiteral("Shown")));
    at(300);
    post({{"message", QVariant::fromValue(LocalizedStringKey(QStringLiteral("A")))},
          {"symbol", QStringLiteral("trash")},
          {"position", QStringLiteral("center")}});
    post({{"message", QVariant::fromValue(LocalizedStringKey(QStringLiteral("B")))},
          {"symbol", QStringLiteral("clock")}});
    // C carries no symbol at all and an unknown position: it still replaces the pending request
    // as a whole, so A's symbol and position do not leak into it.
    post({{"message", QVariant::fromValue(LocalizedStringKey(QStringLiteral("C")))},
          {"position", QStringLiteral("left")}});
    at(300 + 150);
    EXPECT_TRUE(overlay->isToastVisible());
    EXPECT_EQ(overlay->currentMessage().key, "C");
    EXPECT_EQ(overlay->currentSymbol(), std::nullopt);
    EXPECT_EQ(overlay->currentPosition(), ToastPosition::Bottom);
    EXPECT_EQ(overlay->toastView()->symbol(), "");
}

TEST_F(ToastTest, UnusableNotificationsAreIgnoredAndEmptySymbolsDrawNothing)
{
    post({{"message", QStringLiteral("plain text, not a key")}});
    post({{"symbol", QStringLiteral("trash")}});
    post({});
    at(50);
    EXPECT_FALSE(overlay->isToastVisible());
    EXPECT_FALSE(overlay->toastView()->isVisible());

    ToastController::shared().show(LocalizedStringKey(QStringLiteral("Text only")), QString(),
                                   ToastPosition::Center);
    EXPECT_TRUE(overlay->isToastVisible());
    EXPECT_EQ(overlay->currentSymbol(), QString());
    EXPECT_EQ(overlay->toastView()->symbol(), "");
    at(50 + 400);
    const QRect toast = overlay->toastView()->geometry();
    EXPECT_NEAR(toast.center().y(), (host.height() - 20) / 2, 2);
}

TEST_F(ToastTest, HidingTheHostEndsTheToastAndForgetsThePendingRequest)
{
    QWidget second;
    second.resize(300, 200);
    ToastViewModifier *secondOverlay = toastOverlay(&second);
    follow(secondOverlay);
    second.show();

    ToastController::shared().show(LocalizedStringKey(QStringLiteral("Both")));
    EXPECT_TRUE(overlay->isToastVisible());
    EXPECT_TRUE(secondOverlay->isToastVisible()) << "every host on screen shows the toast";

    ToastController::shared().show(LocalizedStringKey(QStringLiteral("Pending")));
    ToastController::shared().show(LocalizedStringKey(QStringLiteral("Latest")));
    host.hide();
    EXPECT_FALSE(overlay->isToastVisible());
    EXPECT_FALSE(overlay->isTransitioning());
    at(300);
    EXPECT_FALSE(overlay->isToastVisible()) << "nothing shows on a host that went away";
    EXPECT_EQ(secondOverlay->currentMessage().key, "Latest");

    // A hidden host ignores notifications.
    ToastController::shared().show(LocalizedStringKey(QStringLiteral("Unseen")));
    EXPECT_FALSE(overlay->isToastVisible());
}

#include "KivUtilities/BottomNotificationController.h"
#include "KivUtilities/BottomNotificationView.h"
#include "KivUtilities/BottomNotificationWindowController.h"
#include "KivUtilities/Symbols.h"
#include "KivUtilities/WindowTranslucency.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/ManualClock.h"
#include "testsupport/Screenshots.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace KivUtilities;
using namespace std::chrono_literals;

namespace {

BottomNotificationController &notices()
{
    return BottomNotificationController::shared();
}

// Windows closed outside an event loop are deleted once control returns to one; run those deletions.
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The notices shown in a test follow the test's clock.
class BottomNotificationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Fades as on X11; offscreen windows keep their opacity for the tests to read.
        WindowTranslucency::setOpacityOverride(true);
        notices().setClock(clock.function());
        clock.drive([] {
            if (BottomNotificationWindowController *shown = notices().windowController())
                shown->timeline().advance();
        });
    }

    void TearDown() override
    {
        // The last notice outlives the test: it must not read this test's clock afterwards.
        if (BottomNotificationWindowController *shown = notices().windowController()) {
            shown->close();
            shown->timeline().setClock({});
        }
        notices().setClock({});
        flushDeletes();
        WindowTranslucency::setOpacityOverride(std::nullopt);
    }

    // Moves the clock to `ms` after the test's start.
    void at(int ms) { clock.runTo(std::chrono::milliseconds(ms)); }

    TestSupport::ManualClock clock;
};

} // namespace

TEST_F(BottomNotificationTest, SitsCentredAboveTheBottomOfTheMainScreen)
{
    notices().show(QStringLiteral("Evening"), Symbols::icon("menubar.dock.rectangle"));
    BottomNotificationView *window = notices().windowController()->window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window->property("symbol").toString(), "menubar.dock.rectangle");
    EXPECT_EQ(window->text(), "Evening");

    // A 200-point square, centred, its bottom edge 140 above the screen's bottom.
    const QRect frame = window->geometry();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(frame.size(), QSize(200, 200));
    EXPECT_EQ(frame.center().x(), screen.center().x());
    EXPECT_EQ(screen.bottom() - frame.bottom(), 140);

    at(300);
    const QString path = TestSupport::saveScreenshot(window, QStringLiteral("bottom-notification"));
    EXPECT_TRUE(QFileInfo::exists(path));
}

TEST_F(BottomNotificationTest, WithoutACompositorTheNoticeIsOpaqueWithRoundedCorners)
{
    WindowTranslucency::setOverride(false);
    notices().show(QStringLiteral("Evening"), Symbols::icon("menubar.dock.rectangle"));
    WindowTranslucency::setOverride(std::nullopt);
    BottomNotificationView *window = notices().windowController()->window();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->testAttribute(Qt::WA_TranslucentBackground));
    // The mask cuts the corners off; the middle and the edges' middles stay.
    const QRegion mask = window->mask();
    for (const QPoint corner : {QPoint(1, 1), QPoint(198, 1), QPoint(1, 198), QPoint(198, 198)})
        EXPECT_FALSE(mask.contains(corner)) << corner.x() << "," << corner.y();
    for (const QPoint inside : {QPoint(100, 100), QPoint(100, 1), QPoint(1, 100), QPoint(198, 100)})
        EXPECT_TRUE(mask.contains(inside)) << inside.x() << "," << inside.y();
    // Painted opaque in the window colour.
    const QImage image = TestSupport::grabAndKeep(window, QStringLiteral("bottom-notification-opaque"));
    EXPECT_EQ(image.pixelColor(100, 12).alpha(), 255);
    EXPECT_EQ(image.pixelColor(100, 12).rgb(), window->palette().color(QPalette::Window).rgb());

    // Where windows blend, the notice keeps its see-through material and needs no mask.
    WindowTranslucency::setOverride(true);
    notices().show(QStringLiteral("Morning"), Symbols::icon("menubar.dock.rectangle"));
    WindowTranslucency::setOverride(std::nullopt);
    BottomNotificationView *blended = notices().windowController()->window();
    ASSERT_NE(blended, nullptr);
    EXPECT_TRUE(blended->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(blended->mask().isEmpty());
}

TEST_F(BottomNotificationTest, FadesInHoldsFadesOutAndCloses)
{
    notices().show(QStringLiteral("Profile Created"), Symbols::icon("checkmark.rectangle"));
    QPointer<BottomNotificationView> window = notices().windowController()->window();
    ASSERT_TRUE(window);
    EXPECT_DOUBLE_EQ(window->windowOpacity(), 0.0);

    // 0.2 s in.
    at(100);
    EXPECT_NEAR(window->windowOpacity(), 0.5, 0.01);
    at(199);
    EXPECT_LT(window->windowOpacity(), 1.0);
    at(200);
    EXPECT_DOUBLE_EQ(window->windowOpacity(), 1.0);
    // Held until one second after the start.
    at(1000);
    ASSERT_TRUE(window);
    EXPECT_DOUBLE_EQ(window->windowOpacity(), 1.0);
    // 0.8 s out.
    at(1400);
    ASSERT_TRUE(window);
    EXPECT_NEAR(window->windowOpacity(), 0.5, 0.01);
    at(1799);
    ASSERT_TRUE(window);
    at(1800);
    EXPECT_FALSE(window) << "the window is disposed of after the fade-out";
    // The controller keeps the last window controller after its window closed.
    EXPECT_NE(notices().windowController(), nullptr);
}

TEST_F(BottomNotificationTest, WhereOpacityCannotChangeTheNoticeShowsWholeForItsTimeAndPrintsNothing)
{
    WindowTranslucency::setOpacityOverride(false);
    TestSupport::CapturedStandardError printed;
    notices().show(QStringLiteral("Profile Created"), Symbols::icon("checkmark.rectangle"));
    QPointer<BottomNotificationView> window = notices().windowController()->window();
    ASSERT_TRUE(window);
    for (const int ms : {0, 100, 1400, 1799}) {
        at(ms);
        ASSERT_TRUE(window) << ms;
        EXPECT_TRUE(window->isVisible()) << ms;
        EXPECT_DOUBLE_EQ(window->windowOpacity(), 1.0) << ms;
    }
    at(1800);
    EXPECT_FALSE(window);
    // (The offscreen platform says that it cannot raise windows; Wayland's can.)
    EXPECT_FALSE(printed.text().contains("opacity")) << printed.text().toStdString();
}

TEST_F(BottomNotificationTest, ANewNoticeReplacesTheOldOneAtOnce)
{
    notices().show(QStringLiteral("First"), Symbols::icon("menubar.dock.rectangle"));
    QPointer<BottomNotificationView> first = notices().windowController()->window();
    at(600);

    notices().show(QStringLiteral("Second"), Symbols::icon("menubar.dock.rectangle"));
    QPointer<BottomNotificationView> next = notices().windowController()->window();
    flushDeletes();
    EXPECT_FALSE(first) << "the earlier notice closes without a fade";
    ASSERT_TRUE(next);

    // The earlier notice's fade-out (due at 1.0 s from its start) must not touch the new one.
    at(600 + 999);
    ASSERT_TRUE(next);
    EXPECT_DOUBLE_EQ(next->windowOpacity(), 1.0);
    at(600 + 1799);
    ASSERT_TRUE(next);
    at(600 + 1800);
    EXPECT_FALSE(next);

    // A notice shown while the previous one fades out ends it at once as well.
    notices().show(QStringLiteral("Third"), QIcon());
    QPointer<BottomNotificationView> third = notices().windowController()->window();
    at(2400 + 1200);
    ASSERT_TRUE(third);
    EXPECT_LT(third->windowOpacity(), 1.0);
    notices().show(QStringLiteral("Fourth"), QIcon());
    flushDeletes();
    EXPECT_FALSE(third);
}

TEST(BottomNotification, LongTextShrinksToTwoLinesAndStaysSquare)
{
    const QFont font;
    EXPECT_EQ(BottomNotificationView::fittedTextSize(QStringLiteral("Done"), font), 18);
    const QString longName =
        QStringLiteral("A profile with a rather long name that needs more room than one line");
    const qreal size = BottomNotificationView::fittedTextSize(longName, font);
    EXPECT_LT(size, 18);
    EXPECT_GE(size, 9);

    BottomNotificationView view(longName + longName + longName, QIcon());
    EXPECT_EQ(view.size(), QSize(200, 200));
    const QStringList lines = view.textLines();
    EXPECT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.last().endsWith(QChar(0x2026))) << lines.last().toStdString();

    // A name is shown as it is, whatever it contains.
    BottomNotificationView markup(QStringLiteral("<i>x</i> & %1"), QIcon());
    EXPECT_EQ(markup.textLines().join(' ').toStdString(), "<i>x</i> & %1");
}

namespace {

class GermanStrings : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (QByteArray(context) == "Localizable" && QByteArray(source) == "Profile Created")
            return QStringLiteral("Profil erstellt");
        return {};
    }
};

} // namespace

TEST_F(BottomNotificationTest, FixedTextsAreTranslatedNamesAreNot)
{
    GermanStrings german;
    QCoreApplication::installTranslator(&german);
    notices().show(LocalizedStringKey(QStringLiteral("Profile Created")),
                   Symbols::icon("checkmark.rectangle"));
    EXPECT_EQ(notices().windowController()->window()->text().toStdString(), "Profil erstellt");
    notices().show(QStringLiteral("Profile Created"), Symbols::icon("menubar.dock.rectangle"));
    EXPECT_EQ(notices().windowController()->window()->text().toStdString(), "Profile Created");
    QCoreApplication::removeTranslator(&german);
}

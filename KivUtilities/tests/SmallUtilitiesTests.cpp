#include "KivUtilities/MediumDateText.h"
#include "KivUtilities/Neighbours.h"
#include "KivUtilities/ValueInRangeController.h"
#include "KivUtilities/WindowGeometry.h"

#include <QSlider>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

using namespace KivUtilities;

TEST(Neighbours, WrapAroundAndFallBackToTheEnds)
{
    const QList<QString> list {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    using Opt = std::optional<QString>;
    EXPECT_EQ(next(list, Opt(QStringLiteral("a"))), Opt(QStringLiteral("b")));
    EXPECT_EQ(next(list, Opt(QStringLiteral("c"))), Opt(QStringLiteral("a")));
    EXPECT_EQ(next(list, Opt(QStringLiteral("x"))), Opt(QStringLiteral("a")));
    EXPECT_EQ(next(list, Opt()), Opt(QStringLiteral("a")));
    EXPECT_EQ(previous(list, Opt(QStringLiteral("b"))), Opt(QStringLiteral("a")));
    EXPECT_EQ(previous(list, Opt(QStringLiteral("a"))), Opt(QStringLiteral("c")));
    EXPECT_EQ(previous(list, Opt(QStringLiteral("x"))), Opt(QStringLiteral("c")));
    EXPECT_EQ(previous(list, Opt()), Opt(QStringLiteral("c")));
    EXPECT_EQ(next(QList<QString> {}, Opt(QStringLiteral("a"))), Opt());
    EXPECT_EQ(previous(QList<QString> {}, Opt()), Opt());
    // Duplicates: the first occurrence decides.
    const QList<int> repeated {1, 2, 1, 3};
    EXPECT_EQ(next(repeated, std::optional<int>(1)), std::optional<int>(2));
}

TEST(ValueInRangeController, StepsWithinTheRange)
{
    const ValueInRangeController levels(0.0, 1.0, 5);
    EXPECT_DOUBLE_EQ(levels.levelValue(), 0.25);
    EXPECT_EQ(levels.values(), (QList<double> {0.0, 0.25, 0.5, 0.75, 1.0}));
    EXPECT_DOUBLE_EQ(levels.stepUp(0.9), 1.0);
    EXPECT_DOUBLE_EQ(levels.stepDown(0.1), 0.0);
    EXPECT_DOUBLE_EQ(levels.stepUp(-3), 0.0);
    EXPECT_DOUBLE_EQ(levels.stepDown(7), 1.0);
    EXPECT_DOUBLE_EQ(levels.stepUp(0.3), 0.55);
    EXPECT_DOUBLE_EQ(levels.stepDown(0.55), 0.3);
    EXPECT_DOUBLE_EQ(levels.stepDown(0.25), 0.0);

    const ValueInRangeController two(2.0, 8.0, 2);
    EXPECT_DOUBLE_EQ(two.levelValue(), 6.0);
    EXPECT_EQ(two.values(), (QList<double> {2.0, 8.0}));

    const ValueInRangeController none(2.0, 8.0, 0);
    EXPECT_DOUBLE_EQ(none.levelValue(), -6.0);
    EXPECT_TRUE(none.values().isEmpty());

    const ValueInRangeController descending(10.0, 0.0, 3);
    EXPECT_EQ(descending.values(), (QList<double> {10.0, 5.0, 0.0}));

    const ValueInRangeController one(1.0, 2.0, 1);
    EXPECT_TRUE(std::isinf(one.levelValue()));
    EXPECT_THROW(ValueInRangeController(0.0, 1.0, -1), std::invalid_argument);
}

TEST(ValueInRangeController, SnapsASliderToTheLevels)
{
    const ValueInRangeController levels(0.0, 1.0, 5);
    QSlider slider(Qt::Horizontal);
    slider.setValue(50);
    levels.configure(&slider);
    EXPECT_EQ(slider.minimum(), 0);
    EXPECT_EQ(slider.maximum(), 4);
    EXPECT_EQ(slider.tickInterval(), 1);
    EXPECT_NE(slider.tickPosition(), QSlider::NoTicks);
    slider.triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_DOUBLE_EQ(levels.values().at(slider.value()), 1.0);
    slider.triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_DOUBLE_EQ(levels.values().at(slider.value()), 0.75);

    const ValueInRangeController none(0.0, 1.0, 0);
    none.configure(&slider);
    EXPECT_EQ(slider.maximum(), 0);
}

TEST(WindowGeometry, PointsNearCornersAndInsideWindows)
{
    const QList<QRectF> screens {QRectF(0, 0, 1000, 800), QRectF(1000, 0, 500, 500)};
    EXPECT_TRUE(isPointNearScreenCorner(QPointF(50, 50), screens));
    EXPECT_TRUE(isPointNearScreenCorner(QPointF(950, 750), screens));
    EXPECT_FALSE(isPointNearScreenCorner(QPointF(50.5, 50), screens));
    EXPECT_FALSE(isPointNearScreenCorner(QPointF(50, 50.5), screens));
    EXPECT_TRUE(isPointNearScreenCorner(QPointF(1460, 480), screens));
    EXPECT_FALSE(isPointNearScreenCorner(QPointF(500, 400), screens));
    EXPECT_FALSE(isPointNearScreenCorner(QPointF(0, 0), {}));
    EXPECT_TRUE(isNear(QPointF(1, 1), QPointF(3, -1), 2));
    EXPECT_FALSE(isNear(QPointF(1, 1), QPointF(3.1, 1), 2));

    QWidget window;
    window.setObjectName(QStringLiteral("ProfileEditor-1"));
    window.setGeometry(100, 100, 200, 100);
    EXPECT_TRUE(hasWindow(QStringLiteral("ProfileEditor")));
    EXPECT_TRUE(hasWindow(QString()));
    EXPECT_FALSE(hasWindow(QStringLiteral("ProfileEditor-2")));

    // Hidden windows contain nothing.
    const QPointF inside = QRectF(window.frameGeometry()).center();
    EXPECT_FALSE(containsPoint(&window, inside));
    EXPECT_FALSE(isPointOverVisibleWindow(inside));
    window.show();
    const QRectF frame(window.frameGeometry());
    EXPECT_TRUE(containsPoint(&window, inside));
    EXPECT_TRUE(containsPoint(&window, frame.topLeft()));
    EXPECT_FALSE(containsPoint(&window, frame.topLeft() - QPointF(0.5, 0)));
    EXPECT_FALSE(containsPoint(nullptr, inside));
    // The window counts with a margin of one point around it.
    EXPECT_TRUE(isPointOverVisibleWindow(frame.topLeft() - QPointF(0.5, 0.5)));
    EXPECT_FALSE(isPointOverVisibleWindow(frame.topLeft() - QPointF(1.5, 0)));
}

TEST(MediumDateText, MediumDateWithShortTimeInEveryLocale)
{
    const QDateTime date(QDate(2024, 3, 15), QTime(9, 30, 5));
    const struct
    {
        QLocale locale;
        QString text;
    } cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral("Mar 15, 2024, 9:30\u202fAM")},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), QStringLiteral("15 Mar 2024, 09:30")},
        {QLocale(QLocale::German, QLocale::Germany), QStringLiteral("15. M\u00e4rz 2024, 09:30")},
        // The C locale's own time form has seconds; the medium form never does.
        {QLocale::c(), QStringLiteral("15 Mar 2024, 09:30")},
    };
    for (const auto &[locale, text] : cases) {
        QString shown = KivUtilities::mediumDateTimeText(date, locale);
        // Locale data differ in the space before AM between releases of the locale tables.
        shown.replace(QChar(0x202f), u' ');
        QString wanted = text;
        wanted.replace(QChar(0x202f), u' ');
        EXPECT_EQ(shown, wanted) << locale.name().toStdString();
        EXPECT_FALSE(shown.contains(QStringLiteral(":05"))) << locale.name().toStdString();
    }
}

#include "Tapestrel/ui/TimeLabel.h"
#include "Tapestrel/ui/TimePicker.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTimeEdit>

#include <gtest/gtest.h>

namespace {

TEST(TimeControls, LabelShowsTwoDigitTimesAndEditsThroughThePicker)
{
    EXPECT_EQ(TimeLabel::text(7, 5), "07:05");
    EXPECT_EQ(TimeLabel::text(125, 7), "125:07");

    TimeLabel label(7, 5);
    label.show();
    EXPECT_EQ(label.shownText(), "07:05");
    EXPECT_FALSE(label.picker()->isVisible());

    label.setEditing(true);
    EXPECT_TRUE(label.picker()->isVisible());
    QStringList order;
    QObject::connect(&label, &TimeLabel::hourChanged,
                     [&order](int h) { order.append(QString("hour %1").arg(h)); });
    QObject::connect(&label, &TimeLabel::minuteChanged,
                     [&order](int m) { order.append(QString("minute %1").arg(m)); });
    label.picker()->editor()->setTime(QTime(18, 30));
    EXPECT_EQ(order, QStringList({"hour 18", "minute 30"}));
    EXPECT_EQ(label.hour(), 18);
    EXPECT_EQ(label.minute(), 30);

    // A change from outside moves the picker and keeps the minute; the picker does not echo it.
    label.setHour(9);
    EXPECT_EQ(label.picker()->editor()->time(), QTime(9, 30));
    EXPECT_EQ(order.size(), 2);

    // "Done" leaves the editor, then runs the completion when there is one.
    label.doneButton()->click();
    EXPECT_FALSE(label.isEditing());
    EXPECT_EQ(label.shownText(), "09:30");
    int completions = 0;
    label.setOnComplete([&completions] { ++completions; });
    label.setEditing(true);
    label.doneButton()->click();
    EXPECT_EQ(completions, 1);
}

TEST(TimeControls, MakeDateIsTodayAtTheTimeOrNowWhenImpossible)
{
    const QDateTime date = TimePicker::makeDate(18, 30);
    EXPECT_EQ(date.date(), QDate::currentDate());
    EXPECT_EQ(date.time(), QTime(18, 30, 0));
    const QDateTime before = QDateTime::currentDateTime();
    const QDateTime impossible = TimePicker::makeDate(25, 0);
    EXPECT_GE(impossible, before.addSecs(-1));
    EXPECT_LE(impossible, QDateTime::currentDateTime());
}

} // namespace

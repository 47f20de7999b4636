#include "Tapestrel/model/ScheduledProfile.h"

#include <gtest/gtest.h>

namespace {

const QTimeZone berlin("Europe/Berlin");

QDateTime at(int year, int month, int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), berlin);
}

ScheduledProfile entry(int hour, int minute, bool enabled = true)
{
    return ScheduledProfile {QStringLiteral("1"), QStringLiteral("P"), hour, minute, enabled};
}

} // namespace

TEST(ScheduledProfile, NextFireDateIsTodayOrTomorrowAtTheEntrysTime)
{
    ASSERT_TRUE(berlin.isValid());
    const ScheduledProfile morning = entry(7, 30);
    EXPECT_EQ(morning.nextFireDate(at(2027, 6, 10, 7, 29, 59), berlin), at(2027, 6, 10, 7, 30));
    EXPECT_EQ(morning.nextFireDate(at(2027, 6, 10, 7, 30), berlin), at(2027, 6, 10, 7, 30).addDays(1));
    EXPECT_EQ(morning.nextFireDate(at(2027, 6, 10, 23, 0), berlin), at(2027, 6, 11, 7, 30));
    EXPECT_FALSE(entry(7, 30, false).nextFireDate(at(2027, 6, 10, 1, 0), berlin));
    EXPECT_FALSE(entry(24, 0).nextFireDate(at(2027, 6, 10, 1, 0), berlin));
    EXPECT_FALSE(entry(7, 60).nextFireDate(at(2027, 6, 10, 1, 0), berlin));
    EXPECT_FALSE(entry(-1, 0).nextFireDate(at(2027, 6, 10, 1, 0), berlin));
}

TEST(ScheduledProfile, NextFireDateAcrossDaylightSavingChanges)
{
    // 28 March 2027: clocks jump from 02:00 to 03:00.
    const ScheduledProfile inGap = entry(2, 30);
    const std::optional<QDateTime> afterJump = inGap.nextFireDate(at(2027, 3, 28, 1, 0), berlin);
    ASSERT_TRUE(afterJump.has_value());
    EXPECT_EQ(afterJump->toUTC(), QDateTime(QDate(2027, 3, 28), QTime(1, 0), Qt::UTC));
    EXPECT_EQ(afterJump->toTimeZone(berlin).time(), QTime(3, 0));
    EXPECT_EQ(inGap.nextFireDate(at(2027, 3, 27, 23, 0), berlin)->toUTC(),
              QDateTime(QDate(2027, 3, 28), QTime(1, 0), Qt::UTC));
    // Once the day's shifted time has passed, the next day is due at the entry's own 02:30.
    EXPECT_EQ(inGap.nextFireDate(at(2027, 3, 28, 3, 10), berlin)->toUTC(),
              QDateTime(QDate(2027, 3, 29), QTime(0, 30), Qt::UTC));

    // The day of the jump has 23 hours: a calendar day later, not 24 hours later.
    EXPECT_EQ(entry(7, 30).nextFireDate(at(2027, 3, 27, 8, 0), berlin)->toUTC(),
              QDateTime(QDate(2027, 3, 28), QTime(5, 30), Qt::UTC));

    // 31 October 2027: 02:30 happens twice; the first one (still summer time) is due.
    EXPECT_EQ(inGap.nextFireDate(at(2027, 10, 31, 1, 0), berlin)->toUTC(),
              QDateTime(QDate(2027, 10, 31), QTime(0, 30), Qt::UTC));
}

TEST(ScheduledProfile, JsonFormIsStrict)
{
    const QList<ScheduledProfile> entries {
        entry(7, 30), ScheduledProfile {QStringLiteral("2"), QStringLiteral("Q/R"), 23, 5, false}};
    const QByteArray bytes = ScheduledProfile::encodeList(entries);
    EXPECT_EQ(bytes,
              QByteArray(R"([{"id":"1","profileID":"P","hour":7,"minute":30,"isEnabled":true},)"
                         R"({"id":"2","profileID":"Q\/R","hour":23,"minute":5,"isEnabled":false}])"));
    EXPECT_EQ(ScheduledProfile::decodeList(bytes), entries);
    EXPECT_EQ(ScheduledProfile::decodeList("[]"), QList<ScheduledProfile>());
    EXPECT_NE(qHash(entries[0]), qHash(entries[1]));

    const char *invalid[] = {
        R"({"id":"1"})",
        R"([{"id":"1","profileID":"P","hour":7,"minute":30}])",
        R"([{"id":"1","profileID":"P","hour":"7","minute":30,"isEnabled":true}])",
        R"([{"id":"1","profileID":"P","hour":7.5,"minute":30,"isEnabled":true}])",
        R"([{"id":1,"profileID":"P","hour":7,"minute":30,"isEnabled":true}])",
        "[",
    };
    for (const char *text : invalid)
        EXPECT_THROW(ScheduledProfile::decodeList(QByteArray(text)), JsonDecodeError) << text;
}

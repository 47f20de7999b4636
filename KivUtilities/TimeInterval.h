#pragma once

#include <QtGlobal>

namespace KivUtilities::TimeInterval {

// Seconds in a number of hours, days or weeks.
double hours(qint64 count);
double days(qint64 count);
double weeks(qint64 count);

} // namespace KivUtilities::TimeInterval

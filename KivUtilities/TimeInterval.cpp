#include "KivUtilities/TimeInterval.h"

namespace KivUtilities::TimeInterval {

double hours(qint64 count)
{
    // Whole-number arithmetic keeps every product exact; one too large for it is still a valid
    // (if approximate) number of seconds rather than an overflow.
    qint64 seconds = 0;
    if (__builtin_mul_overflow(count, qint64(3600), &seconds))
        return double(count) * 3600.0;
    return double(seconds);
}

double days(qint64 count)
{
    return double(count) * 86400.0;
}

double weeks(qint64 count)
{
    return double(count) * 604800.0;
}

} // namespace KivUtilities::TimeInterval

#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace KivUtilities {

// A date in the locale's medium form with a short time: "Mar 15, 2024, 9:30 AM" in US English,
// "15 Mar 2024, 09:30" in British English. Qt has only a short (numeric) and a long (with the weekday)
// date form, so the medium one is the long form without the weekday and with abbreviated month names;
// the time never shows seconds, not even in the C locale.
QString mediumDateTimeText(const QDateTime &date, const QLocale &locale = QLocale());

} // namespace KivUtilities

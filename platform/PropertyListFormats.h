#pragma once

// The two stored forms of property lists, for PropertyList only.

#include "platform/PropertyList.h"

#include <QDateTime>

namespace Platform::PropertyListFormats {

// Both readers build the exact form and stop at the first fault, saying what it is.
PropertyList::Reading readBinary(const QByteArray &bytes);
PropertyList::Reading readXml(const QByteArray &bytes);

// Both writers expect a value that PropertyList has checked (canonical, exact types allowed) and
// give empty bytes, and the reason in `error`, for what their form cannot hold.
QByteArray writeBinary(const QVariant &value, QString &error);
QByteArray writeXml(const QVariant &value, QString &error);

// Seconds from the reference date (2001-01-01 UTC) of a date in either form.
double secondsOf(const QVariant &date);
// The readable date of stored seconds: rounded to the millisecond; invalid outside QDateTime's reach.
QDateTime dateFromSeconds(double seconds);

PropertyList::Reading damaged(const QString &why);
PropertyList::Reading unusable(const QString &why);

// Strictly well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool isValidUtf8(const char *data, qsizetype size);

} // namespace Platform::PropertyListFormats

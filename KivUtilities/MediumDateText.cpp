#include "KivUtilities/MediumDateText.h"

#include <QRegularExpression>

namespace KivUtilities {

namespace {

// Qt date and time formats quote literal text in single quotes; patterns apply only outside them.
QString replaceOutsideQuotes(const QString &format, const QRegularExpression &pattern, const QString &with)
{
    QString result;
    QString plain;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            if (!quoted) {
                result += plain.replace(pattern, with);
                plain.clear();
            }
            quoted = !quoted;
            result += c;
        } else if (quoted) {
            result += c;
        } else {
            plain += c;
        }
    }
    return result + plain.replace(pattern, with);
}

QString mediumDateFormat(const QLocale &locale)
{
    static const QRegularExpression weekday(QStringLiteral("d{4}[,.،]?\\s*|[,،]?\\s*d{4}"));
    static const QRegularExpression fullMonth(QStringLiteral("M{4}"));
    QString format = replaceOutsideQuotes(locale.dateFormat(QLocale::LongFormat), weekday, QString());
    format = replaceOutsideQuotes(format, fullMonth, QStringLiteral("MMM"));
    static const QRegularExpression edges(QStringLiteral("^[\\s,]+|[\\s,]+$"));
    return format.remove(edges);
}

QString shortTimeFormat(const QLocale &locale)
{
    // Seconds and their fractions go, with the separator before them.
    static const QRegularExpression seconds(QStringLiteral("[:.]?s{1,2}([.,]z{1,3})?"));
    return replaceOutsideQuotes(locale.timeFormat(QLocale::ShortFormat), seconds, QString());
}

} // namespace

QString mediumDateTimeText(const QDateTime &date, const QLocale &locale)
{
    const QDateTime local = date.toLocalTime();
    return locale.toString(local.date(), mediumDateFormat(locale)) + QStringLiteral(", ")
           + locale.toString(local.time(), shortTimeFormat(locale));
}

} // namespace KivUtilities

#include "TimePicker.h"

#include <QHBoxLayout>
#include <QTimeEdit>

TimePicker::TimePicker(int hour, int minute, QWidget *parent)
    : QWidget(parent)
    , m_edit(new QTimeEdit(this))
    , m_hour(hour)
    , m_minute(minute)
{
    setObjectName(QStringLiteral("TimePicker"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit);
    m_edit->setDisplayFormat(QStringLiteral("HH:mm"));
    showDate();
    connect(m_edit, &QTimeEdit::timeChanged, this, &TimePicker::updateHourAndMinute);
}

QDateTime TimePicker::makeDate(int hour, int minute)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QTime time(hour, minute, 0);
    if (!time.isValid())
        return now;
    const QDateTime date(now.date(), time);
    return date.isValid() ? date : now;
}

void TimePicker::setHour(int hour)
{
    if (hour == m_hour)
        return;
    m_hour = hour;
    showDate();
}

void TimePicker::setMinute(int minute)
{
    if (minute == m_minute)
        return;
    m_minute = minute;
    showDate();
}

void TimePicker::showDate()
{
    m_updating = true;
    m_edit->setTime(makeDate(m_hour, m_minute).time());
    m_updating = false;
}

void TimePicker::updateHourAndMinute(const QTime &time)
{
    if (m_updating)
        return;
    if (time.hour() != m_hour) {
        m_hour = time.hour();
        emit hourChanged(m_hour);
    }
    if (time.minute() != m_minute) {
        m_minute = time.minute();
        emit minuteChanged(m_minute);
    }
}

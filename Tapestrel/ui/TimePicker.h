#pragma once

#include <QDateTime>
#include <QWidget>

class QTimeEdit;

// An hour-and-minute picker kept in step with two integers, hour and minute, both ways.
class TimePicker : public QWidget
{
    Q_OBJECT

public:
    TimePicker(int hour, int minute, QWidget *parent = nullptr);

    int hour() const { return m_hour; }
    int minute() const { return m_minute; }
    // Changes from outside move the picker; the other value stays.
    void setHour(int hour);
    void setMinute(int minute);

    QTimeEdit *editor() const { return m_edit; }

    // Today's date at the hour and minute, second 0; now when no such time exists.
    static QDateTime makeDate(int hour, int minute);

signals:
    // The hour is announced before the minute.
    void hourChanged(int hour);
    void minuteChanged(int minute);

private:
    void updateHourAndMinute(const QTime &time);
    void showDate();

    QTimeEdit *m_edit;
    int m_hour;
    int m_minute;
    bool m_updating = false;
};

#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class TimePicker;

// A time of day as "HH:MM" beside a clock; a click turns it into a picker with a "Done" button.
class TimeLabel : public QWidget
{
    Q_OBJECT

public:
    TimeLabel(int hour, int minute, QWidget *parent = nullptr);

    int hour() const { return m_hour; }
    int minute() const { return m_minute; }
    void setHour(int hour);
    void setMinute(int minute);

    bool isEditing() const { return m_editing; }
    void setEditing(bool editing);
    bool isHovered() const { return m_hovered; }
    // Called after "Done".
    void setOnComplete(std::function<void()> onComplete) { m_onComplete = std::move(onComplete); }

    // "%02d:%02d"; values outside the day are shown as they are.
    static QString text(int hour, int minute);
    QString shownText() const;
    TimePicker *picker() const { return m_picker; }
    QPushButton *doneButton() const { return m_done; }

signals:
    void hourChanged(int hour);
    void minuteChanged(int minute);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();

    int m_hour;
    int m_minute;
    bool m_editing = false;
    bool m_hovered = false;
    std::function<void()> m_onComplete;
    QWidget *m_shown;
    QLabel *m_time;
    QWidget *m_editor;
    TimePicker *m_picker;
    QPushButton *m_done;
};

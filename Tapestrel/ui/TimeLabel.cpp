#include "TimeLabel.h"

#include "TimePicker.h"

#include "KivUtilities/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

TimeLabel::TimeLabel(int hour, int minute, QWidget *parent)
    : QWidget(parent)
    , m_hour(hour)
    , m_minute(minute)
    , m_shown(new QWidget(this))
    , m_time(new QLabel)
    , m_editor(new QWidget(this))
    , m_picker(new TimePicker(hour, minute))
    , m_done(new QPushButton(tr("Done")))
{
    setObjectName(QStringLiteral("TimeLabel"));
    auto *shownLayout = new QHBoxLayout(m_shown);
    shownLayout->setContentsMargins(0, 0, 0, 0);
    auto *clock = new QLabel;
    KivUtilities::Symbols::apply(clock, QStringLiteral("clock"));
    shownLayout->addWidget(clock);
    shownLayout->addWidget(m_time);

    auto *editorLayout = new QHBoxLayout(m_editor);
    // Within the 32 points of a schedule row.
    editorLayout->setContentsMargins(0, 0, 0, 1);
    editorLayout->addWidget(m_picker);
    editorLayout->addWidget(m_done);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(m_shown);
    layout->addWidget(m_editor);

    connect(m_picker, &TimePicker::hourChanged, this, [this](int value) {
        m_hour = value;
        refresh();
        emit hourChanged(value);
    });
    connect(m_picker, &TimePicker::minuteChanged, this, [this](int value) {
        m_minute = value;
        refresh();
        emit minuteChanged(value);
    });
    connect(m_done, &QPushButton::clicked, this, [this] {
        setEditing(false);
        if (m_onComplete)
            m_onComplete();
    });
    refresh();
}

QString TimeLabel::text(int hour, int minute)
{
    return QString::asprintf("%02d:%02d", hour, minute);
}

QString TimeLabel::shownText() const
{
    return m_time->text();
}

void TimeLabel::setHour(int hour)
{
    if (hour == m_hour)
        return;
    m_hour = hour;
    m_picker->setHour(hour);
    refresh();
}

void TimeLabel::setMinute(int minute)
{
    if (minute == m_minute)
        return;
    m_minute = minute;
    m_picker->setMinute(minute);
    refresh();
}

void TimeLabel::setEditing(bool editing)
{
    if (editing == m_editing)
        return;
    m_editing = editing;
    refresh();
}

void TimeLabel::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    refresh();
    QWidget::enterEvent(event);
}

void TimeLabel::leaveEvent(QEvent *event)
{
    m_hovered = false;
    refresh();
    QWidget::leaveEvent(event);
}

void TimeLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_editing && event->button() == Qt::LeftButton)
        setEditing(true);
    QWidget::mouseReleaseEvent(event);
}

void TimeLabel::refresh()
{
    m_time->setText(text(m_hour, m_minute));
    m_shown->setVisible(!m_editing);
    m_editor->setVisible(m_editing);
    update();
}

void TimeLabel::paintEvent(QPaintEvent *)
{
    if (!m_hovered && !m_editing)
        return;
    // A tint of the text colour, drawn with the palette of the moment: it shows on light and dark ones.
    QColor tint = palette().color(QPalette::WindowText);
    tint.setAlphaF(0.1);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tint);
    painter.drawRoundedRect(QRectF(rect()), 7, 7);
}

#pragma once

#include <QLabel>

// The number beside a slider of the gradient sheet: a location in whole percent ("%3d%%") or an
// angle in whole degrees ("%3d°"), truncated toward zero, in monospaced digits so that its width
// stays put. A number that is not finite shows 0; one beyond the integer range shows the nearest
// integer.
class NumberLabel : public QLabel
{
    Q_OBJECT

public:
    enum class Format { percent, degrees };

    explicit NumberLabel(Format format, QWidget *parent = nullptr);

    double number() const { return m_number; }
    void setNumber(double number);

    static QString formatted(double number, Format format);

private:
    Format m_format;
    double m_number = 0;
};

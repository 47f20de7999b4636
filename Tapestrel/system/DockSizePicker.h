#pragma once

// Option.h needs the whole Profile type.
#include "Tapestrel/model/Profile.h"

#include "Tapestrel/model/Option.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QSlider;

// A slider from "Small" to "Large" over the Dock size option. A text that is no number shows the
// slider at 0.35; moving it stores the slider's number.
class DockSizePicker : public QWidget
{
    Q_OBJECT

public:
    static constexpr double fallbackSize = 0.35;
    static constexpr int steps = 1000;

    explicit DockSizePicker(Option *option, QWidget *parent = nullptr);

    // The binding's reading of the option's value.
    double size() const;
    // What moving the slider to `value` writes.
    void setSize(double value);

    QSlider *slider() const { return m_slider; }
    QStringList labels() const;

private:
    void refresh();

    QPointer<Option> m_option;
    QLabel *m_title = nullptr;
    QLabel *m_small = nullptr;
    QLabel *m_large = nullptr;
    QSlider *m_slider = nullptr;
};

#include "Tapestrel/system/DockSizePicker.h"

#include "Tapestrel/model/Option.h"
#include "Tapestrel/system/DockSize.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <cmath>

DockSizePicker::DockSizePicker(Option *option, QWidget *parent)
    : QWidget(parent)
    , m_option(option)
{
    setObjectName(QStringLiteral("DockSizePicker"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_title = new QLabel(tr("Size"), this);
    m_small = new QLabel(tr("Small"), this);
    m_large = new QLabel(tr("Large"), this);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(0, steps);
    m_slider->setAccessibleName(tr("Size"));
    layout->addWidget(m_title);
    layout->addStretch(1);
    layout->addWidget(m_small);
    layout->addWidget(m_slider, 2);
    layout->addWidget(m_large);

    // Only the user's moves write the option; positions set from the option do not.
    connect(m_slider, &QSlider::valueChanged, this,
            [this](int position) { setSize(double(position) / steps); });
    if (m_option)
        connect(m_option, &Option::valueChanged, this, &DockSizePicker::refresh);
    refresh();
}

double DockSizePicker::size() const
{
    const std::optional<float> value = m_option ? DockSize::parseSingle(m_option->value()) : std::nullopt;
    return value ? double(*value) : fallbackSize;
}

void DockSizePicker::setSize(double value)
{
    if (m_option)
        m_option->setValue(DockSize::format(value));
}

QStringList DockSizePicker::labels() const
{
    return {m_title->text(), m_small->text(), m_large->text()};
}

void DockSizePicker::refresh()
{
    const QSignalBlocker blocker(m_slider);
    m_slider->setValue(int(std::lround(std::clamp(size(), 0.0, 1.0) * steps)));
}

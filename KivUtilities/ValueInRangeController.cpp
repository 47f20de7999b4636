#include "KivUtilities/ValueInRangeController.h"

#include <QSlider>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace KivUtilities {

ValueInRangeController::ValueInRangeController(double minValue, double maxValue, std::int64_t numberOfLevels)
    : m_minValue(minValue)
    , m_maxValue(maxValue)
    , m_numberOfLevels(numberOfLevels)
{
    if (numberOfLevels < 0)
        throw std::invalid_argument("ValueInRangeController: the number of levels must not be negative");
    m_levelValue = (maxValue - minValue) / static_cast<double>(numberOfLevels - 1);
    m_values.reserve(numberOfLevels);
    for (std::int64_t i = 0; i < numberOfLevels; ++i)
        m_values.append(m_levelValue * static_cast<double>(i) + minValue);
}

double ValueInRangeController::stepUp(double value) const
{
    if (m_minValue > value)
        return m_minValue;
    const double up = value + m_levelValue;
    return m_maxValue < up ? m_maxValue : up;
}

double ValueInRangeController::stepDown(double value) const
{
    if (m_maxValue < value)
        return m_maxValue;
    const double down = value - m_levelValue;
    return down <= m_minValue ? m_minValue : down;
}

void ValueInRangeController::configure(QSlider *slider) const
{
    if (!slider)
        return;
    const std::int64_t last =
        std::clamp<std::int64_t>(m_numberOfLevels - 1, 0, std::numeric_limits<int>::max());
    slider->setRange(0, static_cast<int>(last));
    slider->setSingleStep(1);
    slider->setPageStep(1);
    slider->setTickInterval(1);
    slider->setTickPosition(QSlider::TicksBelow);
}

} // namespace KivUtilities

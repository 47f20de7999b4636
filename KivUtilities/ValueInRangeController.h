#pragma once

#include <QList>

#include <cstdint>

class QSlider;

namespace KivUtilities {

// Divides a closed range into evenly spaced levels (both ends included) and steps values by one level
// while keeping them inside the range. The steps add to the value given; they do not snap it to a
// level first. Nothing requires minValue < maxValue: with the ends swapped the levels descend.
class ValueInRangeController
{
public:
    // A negative level count throws std::invalid_argument. One level divides by zero: its level
    // value is infinite (not a number for equal ends), like the single element of values.
    ValueInRangeController(double minValue, double maxValue, std::int64_t numberOfLevels);

    double minValue() const { return m_minValue; }
    double maxValue() const { return m_maxValue; }
    std::int64_t numberOfLevels() const { return m_numberOfLevels; }
    double levelValue() const { return m_levelValue; }
    const QList<double> &values() const { return m_values; }

    double stepUp(double value) const;
    double stepDown(double value) const;

    // A slider has whole-number positions, so it gets one position per level (0 to
    // numberOfLevels - 1) with a tick mark at each; values().at(slider->value()) is the chosen level.
    // The knob can only rest on a level.
    void configure(QSlider *slider) const;

private:
    double m_minValue;
    double m_maxValue;
    std::int64_t m_numberOfLevels;
    double m_levelValue;
    QList<double> m_values;
};

} // namespace KivUtilities

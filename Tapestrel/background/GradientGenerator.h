#pragma once

#include "KivDesktopBackground/SerializableLinearGradient.h"

#include <QColor>
#include <QList>

#include <functional>

// Random gradients of analogous colours, the start of every new user gradient.
class GradientGenerator
{
public:
    // A uniformly distributed number in [low, high].
    using Uniform = std::function<double(double low, double high)>;

    // Draws from the library's random source.
    GradientGenerator();
    explicit GradientGenerator(Uniform uniform);

    // `count` colours whose hues spread evenly over 70 degrees around one random base hue, sharing a
    // random saturation (0.65 to 0.9) and brightness (0.8 to 0.95). The three numbers are drawn on
    // every call, in that order. One colour sits at the base hue.
    QList<QColor> randomColors(int count) const;
    // max(count, 2) random colours at evenly spread, explicit locations, top to bottom (angle 90).
    KivDesktopBackground::SerializableLinearGradient randomGradient(int count) const;

private:
    Uniform m_uniform;
};

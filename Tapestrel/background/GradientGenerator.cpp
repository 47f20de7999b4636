#include "Tapestrel/background/GradientGenerator.h"

#include "Tapestrel/background/BackgroundLibraryServices.h"

#include <cmath>

using KivDesktopBackground::SerializableLinearGradient;

GradientGenerator::GradientGenerator()
    : m_uniform(BackgroundLibraryServices::shared().uniform)
{ }

GradientGenerator::GradientGenerator(Uniform uniform)
    : m_uniform(std::move(uniform))
{ }

QList<QColor> GradientGenerator::randomColors(int count) const
{
    const double hue = m_uniform(0, 1);
    const double saturation = m_uniform(0.65, 0.9);
    const double brightness = m_uniform(0.8, 0.95);
    QList<QColor> colors;
    if (count <= 0)
        return colors;
    colors.reserve(count);
    for (int i = 0; i < count; ++i) {
        // One colour has nothing to spread over: it keeps the base hue.
        const double offset = count == 1 ? 0.0 : double(i) / (count - 1) * 70.0 / 360.0 - 35.0 / 360.0;
        double wrapped = std::fmod(hue + offset, 1.0);
        if (wrapped < 0)
            wrapped += 1;
        colors.append(QColor::fromHsvF(float(wrapped), float(saturation), float(brightness), 1.0f));
    }
    return colors;
}

SerializableLinearGradient GradientGenerator::randomGradient(int count) const
{
    const int n = count > 2 ? count : 2;
    const QList<QColor> colors = randomColors(n);
    QList<SerializableLinearGradient::Stop> stops;
    for (int i = 0; i < n; ++i)
        stops.append({colors[i], double(i) / (n - 1)});
    return SerializableLinearGradient(90, stops);
}

#pragma once

#include <QColor>
#include <QGradientStops>
#include <QLinearGradient>
#include <QList>
#include <QPointF>
#include <QRectF>

#include <nlohmann/json.hpp>

#include <optional>

namespace KivDesktopBackground {

// A linear gradient as the user edits and stores it: a direction in degrees (0 runs left to right,
// 90 top to bottom, growing clockwise on screen) and colour stops in drawing order.
class SerializableLinearGradient
{
public:
    struct Stop
    {
        QColor color;
        // Absent: the stop is spread evenly with the others by its index.
        std::optional<double> location;

        bool operator==(const Stop &other) const;
    };

    // The drawable form: start and end in unit coordinates of the target rectangle ((0, 0) top left,
    // (1, 1) bottom right) and the stops in list order, unsorted and unclamped.
    struct ToolkitGradient
    {
        QPointF startPoint;
        QPointF endPoint;
        QGradientStops stops;
    };

    double angle = 0;
    QList<Stop> stops;

    SerializableLinearGradient() = default;
    SerializableLinearGradient(double angle, QList<Stop> stops);

    // One stop per colour, spread evenly from 0 to 1, and the angle of the line from start to end
    // (both in unit coordinates), in [0, 360).
    static SerializableLinearGradient fromColors(const QList<QColor> &colors, QPointF startPoint,
                                                 QPointF endPoint);

    ToolkitGradient linearGradient() const;

    // A brush gradient for painting `rect`. Qt needs its stops ascending and inside 0...1, so they are
    // ordered (stably) and clamped here; an empty list gives no stops.
    QLinearGradient gradientFor(const QRectF &rect) const;

    // {"angle": ..., "stops": [{"color": "#RRGGBB", "location": ...}, ...]}. Throws
    // BackgroundCodingError when the angle or a location is not a finite number.
    nlohmann::ordered_json toJson() const;
    // Throws BackgroundCodingError for a missing or mistyped member or a colour text that is not
    // "#RRGGBB".
    static SerializableLinearGradient fromJson(const nlohmann::ordered_json &json);

    bool operator==(const SerializableLinearGradient &other) const;
};

} // namespace KivDesktopBackground

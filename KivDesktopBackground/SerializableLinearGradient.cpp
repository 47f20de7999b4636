#include "KivDesktopBackground/SerializableLinearGradient.h"

#include "KivDesktopBackground/BackgroundCodingError.h"
#include "KivUtilities/Color.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace KivDesktopBackground {

bool SerializableLinearGradient::Stop::operator==(const Stop &other) const
{
    return color == other.color && location == other.location;
}

SerializableLinearGradient::SerializableLinearGradient(double angle, QList<Stop> stops)
    : angle(angle)
    , stops(std::move(stops))
{ }

SerializableLinearGradient SerializableLinearGradient::fromColors(const QList<QColor> &colors,
                                                                  QPointF startPoint, QPointF endPoint)
{
    SerializableLinearGradient gradient;
    const qsizetype count = colors.size();
    for (qsizetype i = 0; i < count; ++i) {
        const double location = count > 1 ? double(i) / double(count - 1) : 0.0;
        gradient.stops.append(Stop {colors.at(i), location});
    }
    double degrees =
        std::atan2(endPoint.y() - startPoint.y(), endPoint.x() - startPoint.x()) * 180.0 / std::numbers::pi;
    if (degrees < 0)
        degrees += 360.0;
    gradient.angle = degrees;
    return gradient;
}

SerializableLinearGradient::ToolkitGradient SerializableLinearGradient::linearGradient() const
{
    const double radians = angle * std::numbers::pi / 180.0;
    double dx = std::cos(radians);
    double dy = std::sin(radians);
    const double length = std::max(std::sqrt(dx * dx + dy * dy), 0.0001);
    dx /= length;
    dy /= length;

    ToolkitGradient result;
    result.startPoint = QPointF(0.5 - dx / 2, 0.5 - dy / 2);
    result.endPoint = QPointF(0.5 + dx / 2, 0.5 + dy / 2);
    const qsizetype count = stops.size();
    for (qsizetype i = 0; i < count; ++i) {
        const Stop &stop = stops.at(i);
        const double spread = count > 1 ? double(i) / double(count - 1) : 0.0;
        result.stops.append({stop.location.value_or(spread), stop.color});
    }
    return result;
}

QLinearGradient SerializableLinearGradient::gradientFor(const QRectF &rect) const
{
    const ToolkitGradient unit = linearGradient();
    auto place = [&rect](QPointF p) {
        return QPointF(rect.left() + p.x() * rect.width(), rect.top() + p.y() * rect.height());
    };
    QLinearGradient gradient(place(unit.startPoint), place(unit.endPoint));
    QGradientStops drawable = unit.stops;
    for (QGradientStop &stop : drawable) {
        // NaN would survive std::clamp and upset Qt's sorted-stops invariant.
        stop.first = std::isfinite(stop.first) ? std::clamp(stop.first, 0.0, 1.0) : 0.0;
    }
    std::stable_sort(drawable.begin(), drawable.end(),
                     [](const QGradientStop &a, const QGradientStop &b) { return a.first < b.first; });
    gradient.setStops(drawable);
    gradient.setSpread(QGradient::PadSpread);
    return gradient;
}

nlohmann::ordered_json SerializableLinearGradient::toJson() const
{
    if (!std::isfinite(angle))
        throw BackgroundCodingError(QStringLiteral("angle"),
                                    QStringLiteral("Gradient angle is not a finite number"));
    nlohmann::ordered_json stopsJson = nlohmann::ordered_json::array();
    for (const Stop &stop : stops) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        object["color"] = KivUtilities::hexString(stop.color).toStdString();
        if (stop.location) {
            if (!std::isfinite(*stop.location))
                throw BackgroundCodingError(QStringLiteral("location"),
                                            QStringLiteral("Gradient stop location is not a finite number"));
            object["location"] = *stop.location;
        }
        stopsJson.push_back(std::move(object));
    }
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["angle"] = angle;
    json["stops"] = std::move(stopsJson);
    return json;
}

namespace {

const nlohmann::ordered_json &member(const nlohmann::ordered_json &object, const char *key)
{
    const auto found = object.find(key);
    if (found == object.end())
        throw BackgroundCodingError::missingKey(key);
    return *found;
}

} // namespace

SerializableLinearGradient SerializableLinearGradient::fromJson(const nlohmann::ordered_json &json)
{
    if (!json.is_object())
        throw BackgroundCodingError(QString(), QStringLiteral("Expected a gradient object"));
    const auto &angleJson = member(json, "angle");
    if (!angleJson.is_number())
        throw BackgroundCodingError::wrongType("angle", "a number");
    const auto &stopsJson = member(json, "stops");
    if (!stopsJson.is_array())
        throw BackgroundCodingError::wrongType("stops", "an array");

    SerializableLinearGradient gradient;
    gradient.angle = angleJson.get<double>();
    for (const auto &stopJson : stopsJson) {
        if (!stopJson.is_object())
            throw BackgroundCodingError(QString(), QStringLiteral("Expected a gradient stop object"));
        const auto &colorJson = member(stopJson, "color");
        if (!colorJson.is_string())
            throw BackgroundCodingError::wrongType("color", "a string");
        const QString colorText = QString::fromStdString(colorJson.get<std::string>());
        const std::optional<QColor> color = KivUtilities::colorFromHex(colorText);
        if (!color)
            throw BackgroundCodingError(QStringLiteral("color"),
                                        QStringLiteral("Invalid color hex string: ") + colorText);
        Stop stop {*color, std::nullopt};
        const auto location = stopJson.find("location");
        if (location != stopJson.end() && !location->is_null()) {
            if (!location->is_number())
                throw BackgroundCodingError::wrongType("location", "a number");
            stop.location = location->get<double>();
        }
        gradient.stops.append(stop);
    }
    return gradient;
}

bool SerializableLinearGradient::operator==(const SerializableLinearGradient &other) const
{
    return angle == other.angle && stops == other.stops;
}

} // namespace KivDesktopBackground

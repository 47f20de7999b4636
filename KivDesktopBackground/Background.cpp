#include "KivDesktopBackground/Background.h"

#include "KivDesktopBackground/BackgroundCodingError.h"
#include "KivUtilities/Color.h"

#include <algorithm>

namespace KivDesktopBackground {

QString Background::toRawValue(Kind kind)
{
    switch (kind) {
    case Kind::image:
        return QStringLiteral("image");
    case Kind::color:
        return QStringLiteral("color");
    case Kind::linearGradient:
        return QStringLiteral("linearGradient");
    }
    return {};
}

std::optional<Background::Kind> Background::kindFromRawValue(const QString &text)
{
    for (Kind kind : {Kind::image, Kind::color, Kind::linearGradient}) {
        if (toRawValue(kind) == text)
            return kind;
    }
    return std::nullopt;
}

Background::Background(Payload payload)
    : m_payload(std::move(payload))
{ }

Background Background::image(const QUrl &url)
{
    return Background(Payload(std::in_place_index<0>, url));
}

Background Background::color(const QColor &color)
{
    return Background(Payload(std::in_place_index<1>, color));
}

Background Background::linearGradient(const SerializableLinearGradient &gradient)
{
    return Background(Payload(std::in_place_index<2>, gradient));
}

Background Background::clear()
{
    return color(QColor(Qt::transparent));
}

Background::Kind Background::kind() const
{
    return static_cast<Kind>(m_payload.index());
}

QUrl Background::url() const
{
    const QUrl *url = std::get_if<QUrl>(&m_payload);
    return url ? *url : QUrl();
}

QColor Background::colorValue() const
{
    const QColor *color = std::get_if<QColor>(&m_payload);
    return color ? *color : QColor();
}

const SerializableLinearGradient *Background::gradient() const
{
    return std::get_if<SerializableLinearGradient>(&m_payload);
}

bool Background::isClear() const
{
    // Any colour without opacity is invisible, not only the one "clear" constant: counting it as
    // shown would keep windows up that draw nothing.
    switch (kind()) {
    case Kind::image:
        return false;
    case Kind::color:
        return colorValue().alpha() == 0;
    case Kind::linearGradient:
        return std::none_of(
            gradient()->stops.cbegin(), gradient()->stops.cend(),
            [](const SerializableLinearGradient::Stop &stop) { return stop.color.alpha() != 0; });
    }
    return false;
}

nlohmann::ordered_json Background::toJson() const
{
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["type"] = toRawValue(kind()).toStdString();
    switch (kind()) {
    case Kind::image:
        json["url"] = url().toString(QUrl::FullyEncoded).toStdString();
        break;
    case Kind::color:
        json["color"] = KivUtilities::hexString(colorValue()).toStdString();
        break;
    case Kind::linearGradient:
        json["gradient"] = gradient()->toJson();
        break;
    }
    return json;
}

namespace {

const nlohmann::ordered_json &requiredString(const nlohmann::ordered_json &json, const char *key)
{
    const auto found = json.find(key);
    if (found == json.end())
        throw BackgroundCodingError::missingKey(key);
    if (!found->is_string())
        throw BackgroundCodingError::wrongType(key, "a string");
    return *found;
}

} // namespace

Background Background::fromJson(const nlohmann::ordered_json &json)
{
    if (!json.is_object())
        throw BackgroundCodingError(QString(), QStringLiteral("Expected a background object"));
    const QString tag = QString::fromStdString(requiredString(json, "type").get<std::string>());
    const std::optional<Kind> kind = kindFromRawValue(tag);
    if (!kind)
        throw BackgroundCodingError(QStringLiteral("type"),
                                    QStringLiteral("Unknown background type: ") + tag);
    switch (*kind) {
    case Kind::image: {
        const QString text = QString::fromStdString(requiredString(json, "url").get<std::string>());
        const QUrl url(text, QUrl::StrictMode);
        if (text.isEmpty() || !url.isValid())
            throw BackgroundCodingError(QStringLiteral("url"), QStringLiteral("Invalid URL string."));
        return image(url);
    }
    case Kind::color: {
        const QString text = QString::fromStdString(requiredString(json, "color").get<std::string>());
        const std::optional<QColor> parsed = KivUtilities::colorFromHex(text);
        if (!parsed)
            throw BackgroundCodingError(QStringLiteral("color"),
                                        QStringLiteral("Invalid color hex string: ") + text);
        return color(*parsed);
    }
    case Kind::linearGradient: {
        const auto found = json.find("gradient");
        if (found == json.end())
            throw BackgroundCodingError::missingKey("gradient");
        return linearGradient(SerializableLinearGradient::fromJson(*found));
    }
    }
    throw BackgroundCodingError(QStringLiteral("type"), QStringLiteral("Unknown background type"));
}

QString Background::rawValue() const
{
    try {
        return QString::fromStdString(toJson().dump());
    } catch (const std::exception &) {
        // A value that cannot be written (a non-finite gradient number) must not take the caller
        // down; "{}" does not read back, so it can never pass for a real background.
        return QStringLiteral("{}");
    }
}

std::optional<Background> Background::fromRawValue(const QString &text)
{
    try {
        const QByteArray bytes = text.toUtf8();
        const auto json = nlohmann::ordered_json::parse(bytes.cbegin(), bytes.cend());
        return fromJson(json);
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

bool Background::operator==(const Background &other) const
{
    return m_payload == other.m_payload;
}

size_t qHash(const Background &background, size_t seed)
{
    return qHash(background.rawValue(), seed);
}

} // namespace KivDesktopBackground

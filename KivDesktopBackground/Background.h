#pragma once

#include "KivDesktopBackground/SerializableLinearGradient.h"

#include <QColor>
#include <QHashFunctions>
#include <QString>
#include <QUrl>

#include <nlohmann/json.hpp>

#include <optional>
#include <variant>

namespace KivDesktopBackground {

// One desktop background: an image file, a plain colour or a linear gradient. Its JSON text
// (rawValue) is how every other part of the program stores a background.
class Background
{
public:
    enum class Kind { image, color, linearGradient };
    static QString toRawValue(Kind kind);
    static std::optional<Kind> kindFromRawValue(const QString &text);

    static Background image(const QUrl &url);
    static Background color(const QColor &color);
    static Background linearGradient(const SerializableLinearGradient &gradient);
    // The colour background that shows nothing: what an absent background looks like on screen.
    static Background clear();

    Kind kind() const;
    // The payloads; each is empty (invalid URL, invalid colour, nullptr) for the other kinds.
    QUrl url() const;
    QColor colorValue() const;
    const SerializableLinearGradient *gradient() const;

    // Whether drawing this value leaves everything beneath it showing: a colour with no opacity, or a
    // gradient without any stop that has some. An image never counts as clear, even a missing one.
    bool isClear() const;

    // Compact JSON with "type" first and exactly one payload key; "{}" when the value cannot be
    // written (a gradient with a non-finite number).
    QString rawValue() const;
    // Strict JSON; nothing when the text is not a valid background. Keys that do not belong to the
    // type are ignored.
    static std::optional<Background> fromRawValue(const QString &text);

    // The JSON object, for embedding in larger documents. Throws BackgroundCodingError.
    nlohmann::ordered_json toJson() const;
    static Background fromJson(const nlohmann::ordered_json &json);

    bool operator==(const Background &other) const;

private:
    using Payload = std::variant<QUrl, QColor, SerializableLinearGradient>;
    explicit Background(Payload payload);
    Payload m_payload;
};

// Hashes the JSON text, so equal values hash alike.
size_t qHash(const Background &background, size_t seed = 0);

} // namespace KivDesktopBackground

#pragma once

#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/system/RawValueEnum.h"

#include <QColor>
#include <QString>

#include <optional>

// The colour in which the system tints folder icons: a kind and, for "custom", a colour of the
// user's choice. Its option text is compact JSON, {"kind":"red","customColor":null}, the colour as
// "r g b a" with six decimals.
struct FolderColor
{
    enum class Kind { automatic, red, orange, yellow, green, blue, purple, pink, graphite, custom };

    Kind kind = Kind::automatic;
    // May be present whatever the kind; it is written whenever it is, with the numbers it was read with.
    std::optional<OptionValue::RgbaColor> customColor;

    // Nothing when the text is not an object with a "kind" string and a "customColor" string or
    // null. A kind that names no case reads as automatic; a colour text that does not parse as no
    // colour.
    static std::optional<FolderColor> fromJson(const QString &text);
    // Always both keys, "kind" first, without white space.
    QString toJson() const;

    // The text of the global "AppleIconAppearanceTintColor" for a kind ("" for automatic, "Other"
    // for custom), and back: unknown texts read as automatic.
    static QString tintText(Kind kind);
    static Kind kindFromTintText(const QString &text);
    // The swatch of a named kind; nothing for automatic and custom, whose colours come from elsewhere.
    static std::optional<QColor> swatchColor(Kind kind);

    friend bool operator==(const FolderColor &, const FolderColor &) = default;
};

QString toRawValue(FolderColor::Kind kind);
QString title(FolderColor::Kind kind);
template<> const QList<FolderColor::Kind> &allCases<FolderColor::Kind>();

#include "Tapestrel/system/FolderColor.h"

#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/system/SystemColor.h"

#include <QCoreApplication>

#include <nlohmann/json.hpp>

using Kind = FolderColor::Kind;

namespace {

struct Entry
{
    Kind kind;
    const char *raw;
    const char *title;
    const char *tint;
};

const Entry entries[] = {
    {Kind::automatic, "automatic", QT_TRANSLATE_NOOP("FolderColor", "Auto"), ""},
    {Kind::red, "red", QT_TRANSLATE_NOOP("FolderColor", "Red"), "Red"},
    {Kind::orange, "orange", QT_TRANSLATE_NOOP("FolderColor", "Orange"), "Orange"},
    {Kind::yellow, "yellow", QT_TRANSLATE_NOOP("FolderColor", "Yellow"), "Yellow"},
    {Kind::green, "green", QT_TRANSLATE_NOOP("FolderColor", "Green"), "Green"},
    {Kind::blue, "blue", QT_TRANSLATE_NOOP("FolderColor", "Blue"), "Blue"},
    {Kind::purple, "purple", QT_TRANSLATE_NOOP("FolderColor", "Purple"), "Purple"},
    {Kind::pink, "pink", QT_TRANSLATE_NOOP("FolderColor", "Pink"), "Pink"},
    {Kind::graphite, "graphite", QT_TRANSLATE_NOOP("FolderColor", "Graphite"), "Graphite"},
    {Kind::custom, "custom", QT_TRANSLATE_NOOP("FolderColor", "Custom"), "Other"},
};

const Entry &entry(Kind kind)
{
    return entries[int(kind)];
}

} // namespace

QString toRawValue(Kind kind)
{
    return QString::fromLatin1(entry(kind).raw);
}

QString title(Kind kind)
{
    return QCoreApplication::translate("FolderColor", entry(kind).title);
}

template<> const QList<Kind> &allCases<Kind>()
{
    static const QList<Kind> cases = [] {
        QList<Kind> list;
        for (const Entry &e : entries)
            list.append(e.kind);
        return list;
    }();
    return cases;
}

std::optional<FolderColor> FolderColor::fromJson(const QString &text)
{
    const nlohmann::json json = nlohmann::json::parse(text.toStdString(), nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;
    const auto kind = json.find("kind");
    const auto color = json.find("customColor");
    if (kind == json.end() || !kind->is_string() || color == json.end()
        || !(color->is_string() || color->is_null()))
        return std::nullopt;
    FolderColor result;
    result.kind =
        fromRawValue<Kind>(QString::fromStdString(kind->get<std::string>())).value_or(Kind::automatic);
    if (color->is_string())
        result.customColor = OptionValue::rgbaFromString(QString::fromStdString(color->get<std::string>()));
    return result;
}

QString FolderColor::toJson() const
{
    nlohmann::ordered_json json;
    json["kind"] = toRawValue(kind).toStdString();
    if (customColor)
        json["customColor"] = customColor->text().toStdString();
    else
        json["customColor"] = nullptr;
    return QString::fromStdString(json.dump());
}

QString FolderColor::tintText(Kind kind)
{
    return QString::fromLatin1(entry(kind).tint);
}

Kind FolderColor::kindFromTintText(const QString &text)
{
    if (text.isEmpty())
        return Kind::automatic;
    for (const Entry &e : entries) {
        if (text == QLatin1String(e.tint))
            return e.kind;
    }
    return Kind::automatic;
}

std::optional<QColor> FolderColor::swatchColor(Kind kind)
{
    switch (kind) {
    case Kind::red:
        return SystemColors::color(SystemColor::red);
    case Kind::orange:
        return SystemColors::color(SystemColor::orange);
    case Kind::yellow:
        return SystemColors::color(SystemColor::yellow);
    case Kind::green:
        return SystemColors::color(SystemColor::green);
    case Kind::blue:
        return SystemColors::color(SystemColor::blue);
    case Kind::purple:
        return SystemColors::color(SystemColor::purple);
    case Kind::pink:
        return SystemColors::color(SystemColor::pink);
    case Kind::graphite:
        return SystemColors::color(SystemColor::gray);
    case Kind::automatic:
    case Kind::custom:
        return std::nullopt;
    }
    return std::nullopt;
}

#include "KivUtilities/UserDefaultsValue.h"

#include <QVariantMap>

#include <cmath>

namespace KivUtilities::detail {

std::optional<qint64> integerFromObject(const QVariant &object)
{
    switch (object.typeId()) {
    case QMetaType::LongLong:
        return object.toLongLong();
    case QMetaType::Bool:
        return object.toBool() ? 1 : 0;
    case QMetaType::Double: {
        const double real = object.toDouble();
        if (!std::isfinite(real) || std::trunc(real) != real || std::fabs(real) >= 9.2e18)
            return std::nullopt;
        return qint64(real);
    }
    default:
        return std::nullopt;
    }
}

std::optional<double> realFromObject(const QVariant &object)
{
    switch (object.typeId()) {
    case QMetaType::Double:
        return object.toDouble();
    case QMetaType::LongLong:
        return double(object.toLongLong());
    case QMetaType::Bool:
        return object.toBool() ? 1.0 : 0.0;
    default:
        return std::nullopt;
    }
}

std::optional<bool> boolFromObject(const QVariant &object)
{
    if (object.typeId() == QMetaType::Bool)
        return object.toBool();
    const std::optional<double> number = realFromObject(object);
    if (number == 1.0)
        return true;
    if (number == 0.0)
        return false;
    return std::nullopt;
}

namespace {

std::optional<double> member(const QVariantMap &map, const char *name)
{
    const auto it = map.constFind(QLatin1String(name));
    if (it == map.cend())
        return std::nullopt;
    return realFromObject(it.value());
}

} // namespace

QVariant rectObject(const QRectF &rect)
{
    return QVariantMap {{"X", rect.x()}, {"Y", rect.y()}, {"Width", rect.width()}, {"Height", rect.height()}};
}

QVariant sizeObject(const QSizeF &size)
{
    return QVariantMap {{"Width", size.width()}, {"Height", size.height()}};
}

QVariant pointObject(const QPointF &point)
{
    return QVariantMap {{"X", point.x()}, {"Y", point.y()}};
}

std::optional<QRectF> rectFromDictionary(const QVariant &object)
{
    if (object.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = object.toMap();
    const auto x = member(map, "X"), y = member(map, "Y"), width = member(map, "Width"),
               height = member(map, "Height");
    if (!x || !y || !width || !height)
        return std::nullopt;
    return QRectF(*x, *y, *width, *height);
}

std::optional<QSizeF> sizeFromDictionary(const QVariant &object)
{
    if (object.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = object.toMap();
    const auto width = member(map, "Width"), height = member(map, "Height");
    if (!width || !height)
        return std::nullopt;
    return QSizeF(*width, *height);
}

std::optional<QPointF> pointFromDictionary(const QVariant &object)
{
    if (object.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = object.toMap();
    const auto x = member(map, "X"), y = member(map, "Y");
    if (!x || !y)
        return std::nullopt;
    return QPointF(*x, *y);
}

} // namespace KivUtilities::detail

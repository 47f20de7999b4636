#pragma once

#include <QByteArray>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariant>

#include <cmath>
#include <concepts>
#include <limits>
#include <optional>
#include <type_traits>

namespace KivUtilities {

// A key of the program's user defaults: an enumeration (or any type) with a free toRawValue(key)
// that gives the key's name.
template<typename K>
concept UserDefaultsKey = requires(const K &key)
{
    {
        toRawValue(key)
        } -> std::convertible_to<QString>;
};

// An enumeration stored as its raw text. Specialise it with
//     static std::optional<E> fromRawValue(const QString &text);
// next to the enumeration's free toRawValue(E).
template<typename E> struct UserDefaultsEnum;

// How a value type is kept in the user defaults:
//     static QVariant defaultsObject(const V &)          the property-list value that is stored
//     static std::optional<V> fromObject(const QVariant &) the stored value as V, without parsing texts
//     static std::optional<V> fromDefaultsString(const QString &) a text as V (enumerations only)
// Provided for QString, QByteArray, int, qint64, double, float, bool, QRectF, QSizeF, QPointF and
// every enumeration with a UserDefaultsEnum specialisation.
template<typename V> struct UserDefaultsValue;

namespace detail {

// Numbers convert only when the value is exactly representable: 3.0 is the integer 3, 3.5 is no
// integer, 1 and 0 are Booleans and 2 is none.
std::optional<qint64> integerFromObject(const QVariant &object);
std::optional<double> realFromObject(const QVariant &object);
std::optional<bool> boolFromObject(const QVariant &object);

// The dictionary forms of geometry: {X, Y, Width, Height}, {Width, Height}, {X, Y} of reals.
QVariant rectObject(const QRectF &rect);
QVariant sizeObject(const QSizeF &size);
QVariant pointObject(const QPointF &point);
std::optional<QRectF> rectFromDictionary(const QVariant &object);
std::optional<QSizeF> sizeFromDictionary(const QVariant &object);
std::optional<QPointF> pointFromDictionary(const QVariant &object);

template<typename V> struct NoDefaultsString
{
    static std::optional<V> fromDefaultsString(const QString &) { return std::nullopt; }
};

} // namespace detail

template<> struct UserDefaultsValue<QString> : detail::NoDefaultsString<QString>
{
    static QVariant defaultsObject(const QString &value) { return value; }
    static std::optional<QString> fromObject(const QVariant &object)
    {
        if (object.typeId() != QMetaType::QString)
            return std::nullopt;
        return object.toString();
    }
};

template<> struct UserDefaultsValue<QByteArray> : detail::NoDefaultsString<QByteArray>
{
    static QVariant defaultsObject(const QByteArray &value) { return value; }
    static std::optional<QByteArray> fromObject(const QVariant &object)
    {
        if (object.typeId() != QMetaType::QByteArray)
            return std::nullopt;
        return object.toByteArray();
    }
};

template<> struct UserDefaultsValue<qint64> : detail::NoDefaultsString<qint64>
{
    static QVariant defaultsObject(qint64 value) { return QVariant(value); }
    static std::optional<qint64> fromObject(const QVariant &object)
    {
        return detail::integerFromObject(object);
    }
};

template<> struct UserDefaultsValue<int> : detail::NoDefaultsString<int>
{
    static QVariant defaultsObject(int value) { return QVariant(qint64(value)); }
    static std::optional<int> fromObject(const QVariant &object)
    {
        const std::optional<qint64> number = detail::integerFromObject(object);
        if (!number || *number < std::numeric_limits<int>::min() || *number > std::numeric_limits<int>::max())
            return std::nullopt;
        return int(*number);
    }
};

template<> struct UserDefaultsValue<double> : detail::NoDefaultsString<double>
{
    static QVariant defaultsObject(double value) { return QVariant(value); }
    static std::optional<double> fromObject(const QVariant &object) { return detail::realFromObject(object); }
};

template<> struct UserDefaultsValue<float> : detail::NoDefaultsString<float>
{
    static QVariant defaultsObject(float value) { return QVariant(double(value)); }
    static std::optional<float> fromObject(const QVariant &object)
    {
        const std::optional<double> number = detail::realFromObject(object);
        if (!number || std::abs(*number) > double(std::numeric_limits<float>::max()))
            return std::nullopt;
        return float(*number);
    }
};

template<> struct UserDefaultsValue<bool> : detail::NoDefaultsString<bool>
{
    static QVariant defaultsObject(bool value) { return QVariant(value); }
    static std::optional<bool> fromObject(const QVariant &object) { return detail::boolFromObject(object); }
};

// Geometry is stored in its dictionary form and read back from it only.
template<> struct UserDefaultsValue<QRectF> : detail::NoDefaultsString<QRectF>
{
    static QVariant defaultsObject(const QRectF &value) { return detail::rectObject(value); }
    static std::optional<QRectF> fromObject(const QVariant &object)
    {
        return detail::rectFromDictionary(object);
    }
};

template<> struct UserDefaultsValue<QSizeF> : detail::NoDefaultsString<QSizeF>
{
    static QVariant defaultsObject(const QSizeF &value) { return detail::sizeObject(value); }
    static std::optional<QSizeF> fromObject(const QVariant &object)
    {
        return detail::sizeFromDictionary(object);
    }
};

template<> struct UserDefaultsValue<QPointF> : detail::NoDefaultsString<QPointF>
{
    static QVariant defaultsObject(const QPointF &value) { return detail::pointObject(value); }
    static std::optional<QPointF> fromObject(const QVariant &object)
    {
        return detail::pointFromDictionary(object);
    }
};

template<typename E>
requires std::is_enum_v<E> && requires(const QString &text)
{
    {
        UserDefaultsEnum<E>::fromRawValue(text)
        } -> std::same_as<std::optional<E>>;
}
struct UserDefaultsValue<E>
{
    static QVariant defaultsObject(E value) { return QVariant(QString(toRawValue(value))); }
    static std::optional<E> fromObject(const QVariant &) { return std::nullopt; }
    static std::optional<E> fromDefaultsString(const QString &text)
    {
        return UserDefaultsEnum<E>::fromRawValue(text);
    }
};

template<typename V>
concept UserDefaultsValueType = requires(const V &value, const QVariant &object)
{
    {
        UserDefaultsValue<V>::defaultsObject(value)
        } -> std::convertible_to<QVariant>;
    {
        UserDefaultsValue<V>::fromObject(object)
        } -> std::same_as<std::optional<V>>;
};

// A stored value read as V: the dictionary form of geometry, then the value itself, then a text
// parsed by V (the case of an enumeration). Nothing when none of these fits.
template<UserDefaultsValueType V> std::optional<V> userDefaultsValue(const QVariant &object)
{
    if (!object.isValid())
        return std::nullopt;
    if (std::optional<V> value = UserDefaultsValue<V>::fromObject(object))
        return value;
    if (object.typeId() == QMetaType::QString)
        return UserDefaultsValue<V>::fromDefaultsString(object.toString());
    return std::nullopt;
}

// Any typed value as its stored form, for lists of defaults of mixed types.
class DefaultsObject
{
public:
    template<UserDefaultsValueType V>
    DefaultsObject(const V &value)
        : m_object(UserDefaultsValue<V>::defaultsObject(value))
    { }
    DefaultsObject(const char *text)
        : m_object(QString::fromUtf8(text))
    { }
    QVariant object() const { return m_object; }

private:
    QVariant m_object;
};

} // namespace KivUtilities

#pragma once

#include <QList>
#include <QString>

#include <optional>

// Enumerations whose values are stored as texts. Each one specialises allCases() with its cases in
// declaration order and overloads toRawValue(); fromRawValue() is then the exact, case-sensitive
// reverse.
template<typename E> const QList<E> &allCases();

template<typename E> std::optional<E> fromRawValue(const QString &text)
{
    for (E value : allCases<E>()) {
        if (toRawValue(value) == text)
            return value;
    }
    return std::nullopt;
}

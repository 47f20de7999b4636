#pragma once

#include <QList>

#include <optional>

namespace KivUtilities {

// Cyclic neighbours in a list. next(): the element after the first one equal to `element`; the first
// element after the last one, for an absent element or one not in the list. previous() mirrors it.
// An empty list has no neighbours.
template<typename T> std::optional<T> next(const QList<T> &list, const std::optional<T> &element)
{
    if (list.isEmpty())
        return std::nullopt;
    if (element) {
        const qsizetype index = list.indexOf(*element);
        if (index >= 0 && index + 1 < list.size())
            return list.at(index + 1);
    }
    return list.first();
}

template<typename T> std::optional<T> previous(const QList<T> &list, const std::optional<T> &element)
{
    if (list.isEmpty())
        return std::nullopt;
    if (element) {
        const qsizetype index = list.indexOf(*element);
        if (index > 0)
            return list.at(index - 1);
    }
    return list.last();
}

} // namespace KivUtilities

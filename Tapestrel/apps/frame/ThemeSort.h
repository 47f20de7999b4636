#pragma once

#include <QList>
#include <QString>

#include <algorithm>
#include <vector>

// The order in which theme lists are shown: ascending by name, comparing the names' Unicode scalar
// values after canonical composition, with no locale and no case folding (so "Zenburn" comes before
// "ayu"). The sort is stable: themes of equal names keep their order of origin.
namespace ThemeSort {

// The text the names are compared by.
std::vector<char32_t> sortKey(const QString &name);

// True when `a` sorts before `b`.
bool lessByName(const QString &a, const QString &b);

// The list sorted by the name that `name` gives for each element.
template<typename T, typename NameOf> QList<T> sortedByName(QList<T> list, NameOf name)
{
    std::vector<std::pair<std::vector<char32_t>, qsizetype>> keys;
    keys.reserve(list.size());
    for (qsizetype i = 0; i < list.size(); ++i)
        keys.emplace_back(sortKey(name(list[i])), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &left, const auto &right) { return left.first < right.first; });
    QList<T> sorted;
    sorted.reserve(list.size());
    for (const auto &key : keys)
        sorted.append(std::move(list[key.second]));
    return sorted;
}

} // namespace ThemeSort

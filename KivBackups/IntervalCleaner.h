#pragma once

#include <QDateTime>
#include <QList>

#include <algorithm>
#include <concepts>

namespace KivBackups {

// What the cleaner can thin: values with equality and the moment they were made.
template<typename T>
concept CleanableByDate = std::equality_comparable<T> && requires(const T &item)
{
    {
        item.date
        } -> std::convertible_to<QDateTime>;
};

// Chooses which of a set of dated items to delete so that recent history stays dense and old
// history sparse. Each item falls into the bucket of the smallest interval (seconds, ascending) not
// below its age; the first bucket keeps its newest and oldest item, every other bucket its oldest,
// an item exactly as old as an interval survives, and items older than the last interval go.
// Two items are never deleted: the newest one, and any dated after now (a clock that was set back
// must not cost the user a backup).
class IntervalCleaner
{
public:
    explicit IntervalCleaner(QList<double> intervals)
        : m_intervals(std::move(intervals))
    { }

    const QList<double> &intervals() const { return m_intervals; }

    // The items to delete, in deletion order: those beyond the last interval (newest first), then
    // each bucket's deletions, bucket by bucket from the youngest, newest first.
    template<CleanableByDate T> QList<T> itemsToDelete(const QList<T> &items, const QDateTime &now) const
    {
        if (m_intervals.isEmpty())
            return {};

        QList<T> sorted;
        for (const T &item : items) {
            if (item.date <= now)
                sorted.append(item);
        }
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const T &a, const T &b) { return a.date > b.date; });

        QList<T> beyond;
        QList<QList<T>> buckets(m_intervals.size());
        qsizetype current = 0;
        bool isBeyond = false;
        for (const T &item : std::as_const(sorted)) {
            if (isBeyond) {
                beyond.append(item);
                continue;
            }
            const double age = double(QDateTime(item.date).msecsTo(now)) / 1000.0;
            while (m_intervals[current] < age) {
                if (current + 1 < m_intervals.size()) {
                    ++current;
                } else {
                    isBeyond = true;
                    break;
                }
            }
            if (isBeyond)
                beyond.append(item);
            else if (age < m_intervals[current])
                buckets[current].append(item);
        }

        QList<T> result = beyond;
        for (qsizetype index = 0; index < buckets.size(); ++index) {
            const QList<T> &bucket = buckets[index];
            for (const T &item : bucket) {
                const bool keep = item == bucket.last() || (index == 0 && item == bucket.first());
                if (!keep)
                    result.append(item);
            }
        }
        if (!sorted.isEmpty())
            result.removeAll(sorted.first());
        return result;
    }

private:
    QList<double> m_intervals;
};

} // namespace KivBackups

#pragma once

#include <QHash>
#include <QtGlobal>

#include <vector>

// The records of one kind that a context handed out, by row. A store numbers its rows from 1 upwards
// with few gaps, so rows up to a bound that grows with the number of records sit in a vector indexed
// by row: a fetch of tens of thousands of rows then neither hashes nor allocates per row. Rows beyond
// the bound (a file whose rows were numbered otherwise) go to a hash, so memory stays in proportion
// to the records whatever the numbers.
template<typename T> class RowIdentityMap
{
public:
    T *value(qint64 row) const
    {
        if (inDense(row)) {
            if (T *record = m_dense[size_t(row)])
                return record;
        }
        return m_sparse.isEmpty() ? nullptr : m_sparse.value(row, nullptr);
    }

    // Sets the record of `row`, replacing any other.
    void insert(qint64 row, T *record)
    {
        Q_ASSERT(record);
        if (!inDense(row) && row > 0 && row <= denseBound())
            m_dense.resize(size_t(qMax(row + 1, qint64(m_dense.size()) * 3 / 2)), nullptr);
        if (inDense(row)) {
            T *&slot = m_dense[size_t(row)];
            if (!slot && (m_sparse.isEmpty() || !m_sparse.remove(row)))
                ++m_count;
            slot = record;
            return;
        }
        if (!m_sparse.contains(row))
            ++m_count;
        m_sparse.insert(row, record);
    }

    // True when `row` had a record.
    bool remove(qint64 row)
    {
        if (inDense(row) && m_dense[size_t(row)]) {
            m_dense[size_t(row)] = nullptr;
            --m_count;
            return true;
        }
        if (m_sparse.remove(row)) {
            --m_count;
            return true;
        }
        return false;
    }

    qsizetype size() const { return m_count; }

    void clear()
    {
        m_dense = {};
        m_sparse.clear();
        m_count = 0;
    }

    // Calls `visit` with every record, in no particular order.
    template<typename Visit> void forEach(Visit visit) const
    {
        for (T *record : m_dense) {
            if (record)
                visit(record);
        }
        for (T *record : m_sparse)
            visit(record);
    }

private:
    bool inDense(qint64 row) const { return row > 0 && row < qint64(m_dense.size()); }
    // Twice the records and some: a store's own numbering stays below it.
    qint64 denseBound() const { return 2 * qint64(m_count) + 4096; }

    std::vector<T *> m_dense;
    QHash<qint64, T *> m_sparse;
    qsizetype m_count = 0;
};

#include "Tapestrel/model/RowIdentityMap.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <random>

namespace {

// Records are only compared by address here: an int stands in for one.
using Map = RowIdentityMap<int>;

void expectSameAs(const Map &map, const std::map<qint64, int *> &model)
{
    ASSERT_EQ(map.size(), qsizetype(model.size()));
    std::map<int *, int> visits;
    map.forEach([&visits](int *record) { ++visits[record]; });
    ASSERT_EQ(visits.size(), model.size());
    for (const auto &[row, record] : model) {
        ASSERT_EQ(map.value(row), record) << "row " << row;
        ASSERT_EQ(visits[record], 1) << "row " << row;
    }
}

} // namespace

// Rows far apart, negative, and in the hash before the vector grew past them, as files may hold.
TEST(RowIdentityMap, AgreesWithAPlainMapWhateverTheNumbering)
{
    // A record of its own for every insert, so that a record listed twice or lost shows.
    std::deque<int> records;
    Map map;
    std::map<qint64, int *> model;
    const auto insert = [&](qint64 row) {
        int *record = &records.emplace_back();
        map.insert(row, record);
        model[row] = record;
    };
    const auto remove = [&](qint64 row) {
        EXPECT_EQ(map.remove(row), model.erase(row) == 1) << "row " << row;
    };

    // Beyond the first bound: kept in the hash.
    for (qint64 row = 4500; row < 4510; ++row)
        insert(row);
    insert(-3);
    insert(0);
    insert(qint64(1) << 62);
    expectSameAs(map, model);
    // Enough records that the vector grows past the rows in the hash.
    for (qint64 row = 1; row <= 1000; ++row)
        insert(row);
    insert(4700);
    expectSameAs(map, model);

    insert(4505);
    insert(500);
    remove(4501);
    remove(4501);
    remove(-3);
    remove(999999);
    insert(4501);
    expectSameAs(map, model);

    std::mt19937 random(34);
    std::uniform_int_distribution<int> ranges(0, 3);
    for (int step = 0; step < 20000; ++step) {
        const int range = ranges(random);
        const qint64 row = range == 0 ? qint64(random() % 3000)
            : range == 1              ? 4000 + qint64(random() % 4000)
            : range == 2              ? -qint64(random() % 50)
                                      : (qint64(1) << 40) + qint64(random() % 50);
        if (random() % 3 == 0)
            remove(row);
        else
            insert(row);
    }
    expectSameAs(map, model);

    map.clear();
    model.clear();
    expectSameAs(map, model);
    insert(7);
    expectSameAs(map, model);
}

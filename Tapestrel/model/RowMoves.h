#pragma once

#include <QHash>
#include <QList>
#include <QtGlobal>

// Where a merge put the records whose rows it gave up: from the row a record had to the row that
// holds it now. A profile or background moved for the store's order, or replaced into a row of its
// own, is found by its uuid; an option whose row went with its profile's replacement, by the same key
// in that profile. Contexts follow these before they read the store again, so that the records they
// handed out, and the changes not yet saved in them, stay the store's records.
struct RowMoves
{
    QHash<qint64, qint64> profiles;
    QHash<qint64, qint64> options;
    QHash<qint64, qint64> backgrounds;
    // The rows of options that went with their profile's replacement, no option of their key being in
    // its new version: a change not yet saved in one of them is written as a new option of the profile.
    QList<qint64> droppedOptions;
};

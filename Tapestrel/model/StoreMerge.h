#pragma once

#include "Tapestrel/model/RecordForms.h"
#include "Tapestrel/model/RowMoves.h"

#include <QList>
#include <QString>

// Merges profiles and custom backgrounds into the store by uuid, in one transaction on a connection
// of its own, without making a record of any row: the work of a restore or an import, which runs off
// the window's thread (see ModelContainer::merge), one merge at a time, so that a large one never
// holds the window.
namespace StoreMerge {

// Profiles first, then backgrounds. A stored record with an imported one's uuid (the first stored one
// when several have it) is replaced by it when `replaceExisting` is set and kept, the imported one
// dropped, when not; of imported records of one uuid the first counts. A stored record equal to the
// imported one, linking or linked by nothing, stays as it is: restoring a recent backup is mostly
// such records. Imported records with a new uuid are added; a replaced record's links go with it;
// other stored records stay as they are.
//
// The store's order (its rows' order) follows the import: its records in its order, each stored
// record it does not hold after the one it followed. A record keeps its row where that order allows,
// a replaced one taking the new content in place; the others take rows whose ids no record had, so
// that a context still naming a row by its id never names another record by it.
//
// Gives the records that left their rows: each stored record the import moved or replaced into another
// row, and each stored option whose row went with its profile's replacement while an option of its key
// came in the profile's new content (the first such option not matched before).
//
// Opens the store file that a ModelContainer keeps at `storePath` (a missing one fails) and throws
// ModelStoreError when it cannot be read or written; then nothing is changed.
RowMoves merge(const QString &storePath, const QList<ProfileForm> &profiles,
               const QList<BackgroundForm> &backgrounds, bool replaceExisting);

} // namespace StoreMerge

#pragma once

#include "Tapestrel/model/RecordForms.h"

#include <QList>
#include <QString>

// Merges profiles and custom backgrounds into the store by uuid, in one transaction on a connection
// of its own, without making a record of any row: the work of a restore or an import, which may run
// on any thread (one merge per call), so that a large one never holds the window. The contexts learn
// of it from ModelContainer::savedElsewhere().
namespace StoreMerge {

// Profiles first, then backgrounds. A stored record with an imported one's uuid (the first stored one
// when several have it) is replaced by it when `replaceExisting` is set, and kept, the imported one
// dropped, when not. A stored record equal to the imported one, linking or linked by nothing, stays
// in its row: restoring a recent backup is mostly such records. Imported records with a new uuid, and
// those that replace one, are added after all the stored ones, profiles with their options in order;
// a replaced record's links go with it. Other stored records stay as they are. Opens the store file
// that a ModelContainer keeps at `storePath` (a missing one fails) and throws ModelStoreError when
// it cannot be read or written; then nothing is changed.
void merge(const QString &storePath, const QList<ProfileForm> &profiles,
           const QList<BackgroundForm> &backgrounds, bool replaceExisting);

} // namespace StoreMerge

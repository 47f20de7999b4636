#pragma once

#include <QString>

struct sqlite3;

namespace StoreConnection {

// A connection of its own to the store file that a ModelContainer keeps at `storePath`, for work
// that reads or writes the store without a context, used on one thread at a time. The file is never
// created here: a store that is not there fails, as any that cannot be opened, with ModelStoreError.
sqlite3 *openExisting(const QString &storePath);

} // namespace StoreConnection

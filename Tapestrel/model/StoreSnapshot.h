#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

struct sqlite3;

// The store as last committed, at one moment, on a read connection of its own: for work that
// copies the whole store out (backups, exports) without making an object per row or blocking the
// main thread. Used on one thread at a time, any thread. Failures throw ModelStoreError.
class StoreSnapshot
{
public:
    // Receives the bytes of a document in order, a piece at a time.
    using Sink = std::function<void(QByteArrayView)>;

    // Opens the store file that a ModelContainer keeps at `storePath`; a missing file fails.
    explicit StoreSnapshot(const QString &storePath);
    ~StoreSnapshot();
    StoreSnapshot(const StoreSnapshot &) = delete;
    StoreSnapshot &operator=(const StoreSnapshot &) = delete;

    // The compact JSON array of every stored profile, in store order with its options in list order:
    // the bytes that an array of the fetched profiles' appendJson() gives.
    void writeProfilesJson(const Sink &sink);
    // The same for every stored custom background.
    void writeBackgroundsJson(const Sink &sink);

private:
    class Output;
    sqlite3 *m_database = nullptr;
};

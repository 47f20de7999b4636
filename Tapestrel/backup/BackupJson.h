#pragma once

#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/JsonCoder.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/StoreSnapshot.h"

#include <QCoro/QCoroTask>

#include <QList>
#include <QPointer>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

// Reading and writing the JSON files of profiles and custom backgrounds, and merging decoded
// records into a store by uuid.
namespace BackupJson {

// Releases a working context through the event loop. Saving deletes the records it removed with
// deleteLater(); deleting the context at once would destroy those records directly, and each such
// destruction searches the whole queue of posted events, which makes large restores quadratic.
// Queued behind them, the context goes after its records. It is parented to its container so it
// never outlives the store; when the store closes while work awaits something, the context goes
// with it and the holder is left empty.
class WorkingContext
{
public:
    explicit WorkingContext(ModelContext *context)
        : m_context(context)
    { }
    WorkingContext(WorkingContext &&other) noexcept
        : m_context(std::exchange(other.m_context, nullptr))
    { }
    WorkingContext(const WorkingContext &) = delete;
    WorkingContext &operator=(const WorkingContext &) = delete;
    WorkingContext &operator=(WorkingContext &&) = delete;
    ~WorkingContext();

    ModelContext *get() const { return m_context; }
    ModelContext *operator->() const { return m_context; }
    ModelContext &operator*() const { return *m_context; }
    explicit operator bool() const { return !m_context.isNull(); }

private:
    QPointer<ModelContext> m_context;
};

// A new context over the store of `context`.
WorkingContext makeWorkingContext(ModelContext &context);

// The documents that a snapshot of the store writes.
enum class StoreDocument { Profiles, Backgrounds };
struct StoreFile
{
    QString path;
    StoreDocument document;
};

// Writes a document of the snapshot into the sink.
void writeDocument(StoreSnapshot &snapshot, StoreDocument document, const StoreSnapshot::Sink &sink);

// Writes each document of the store, as last committed, to its file: read through one snapshot on
// the thread pool, so all of them show the store at one moment, and written atomically (a
// temporary file renamed over the target), so a failure leaves the file as it was. Throws
// ModelStoreError when the store cannot be read and KivBackups::BackupError when a file cannot be
// written.
QCoro::Task<void> writeStoreFiles(QString storePath, QList<StoreFile> files);

// Destroys a document on the thread pool: freeing tens of thousands of nodes is work the main
// thread need not wait for.
void discardOnPool(JsonCoder::Json document);

// Arrays and objects in the files nest at most this deep (the records go four deep).
constexpr int maximumDepth = 8;

// Parses the bytes of a file that must hold a JSON array; JsonDecodeError names the file at `path`.
JsonCoder::Json parseArray(const QByteArray &bytes, const QString &path);

// How many elements a file's array may hold, and what is said of one that holds more.
struct ElementLimit
{
    qsizetype maximum = -1; // none when negative
    QString refusal;
};

// Reads and parses a file that must hold a JSON array, on the thread pool. Throws
// KivBackups::BackupError for a missing or unreadable file and for an array of more elements than
// the limit (counted before it is parsed), and JsonDecodeError for anything else, nesting deeper
// than maximumDepth included.
QCoro::Task<JsonCoder::Json> readArrayFile(QString path, ElementLimit limit = {});

// The compact JSON array of the records' forms: the bytes JsonCoder::encode() gives for an array
// of their toJson(), written directly.
template<typename Record> QByteArray encodeArray(const QList<Record *> &records)
{
    QByteArray bytes;
    bytes.append('[');
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (i > 0)
            bytes.append(',');
        records[i]->appendJson(bytes);
    }
    bytes.append(']');
    return bytes;
}

// Every element decoded, or JsonDecodeError for the first that is not the record's form.
template<typename Record> std::vector<std::unique_ptr<Record>> decodeArray(const JsonCoder::Json &array)
{
    if (!array.is_array())
        throw JsonDecodeError(QStringLiteral("The data is not a JSON array."));
    std::vector<std::unique_ptr<Record>> records;
    records.reserve(array.size());
    for (const JsonCoder::Json &element : array)
        records.push_back(Record::fromJson(element));
    return records;
}

// Whether two records have the same JSON form, compared field by field.
inline bool sameForm(const Profile &a, const Profile &b)
{
    if (a.uuid() != b.uuid() || a.name() != b.name() || a.isEnabled() != b.isEnabled()
        || a.options().size() != b.options().size())
        return false;
    for (qsizetype i = 0; i < a.options().size(); ++i) {
        const Option &x = *a.options()[i];
        const Option &y = *b.options()[i];
        if (x.key() != y.key() || x.value() != y.value() || x.isEnabled() != y.isEnabled())
            return false;
    }
    return true;
}
inline bool sameForm(const CustomBackground &a, const CustomBackground &b)
{
    return a.uuid() == b.uuid() && a.type() == b.type() && a.backgroundValue() == b.backgroundValue()
        && a.bookmarkData() == b.bookmarkData();
}

inline bool isLinked(const Profile &profile)
{
    return !profile.backgrounds().isEmpty();
}
inline bool isLinked(const CustomBackground &background)
{
    return !background.profiles().isEmpty();
}

// Merges records into `context` by uuid against the stored records fetched once before: a stored
// record with the same uuid is replaced when `replaceExisting` is set and kept (the imported one
// dropped) when not; records with a new uuid are inserted. A stored record that already equals the
// imported one and has no links stays in place. Stored records that are not imported
// stay as they are. Nothing is saved.
template<typename Record>
void mergeByUuid(ModelContext &context, const QList<Record *> &stored,
                 std::vector<std::unique_ptr<Record>> imported, bool replaceExisting)
{
    QList<QPointer<Record>> candidates;
    candidates.reserve(stored.size());
    for (Record *record : stored)
        candidates.append(record);
    QMultiHash<QString, qsizetype> byUuid;
    for (qsizetype index = candidates.size() - 1; index >= 0; --index)
        byUuid.insert(candidates[index]->uuid(), index);

    for (std::unique_ptr<Record> &record : imported) {
        const auto found = byUuid.constFind(record->uuid());
        if (found != byUuid.constEnd()) {
            if (!replaceExisting)
                continue;
            Record *match = candidates[*found];
            if (match && !match->isDeleted()) {
                // Replacing a record by an equal one without links would change nothing but cost
                // a deletion and an insertion; restoring a recent backup is mostly such records.
                if (isLinked(*match) || !sameForm(*match, *record))
                    context.remove(match);
                else
                    continue;
            }
        }
        context.insert(std::move(record));
    }
}

} // namespace BackupJson

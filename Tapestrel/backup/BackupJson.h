#pragma once

#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/JsonCoder.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/RecordForms.h"
#include "Tapestrel/model/StoreSnapshot.h"

#include <QCoro/QCoroTask>

#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Reading and writing the JSON files of profiles and custom backgrounds, and merging what they hold
// into a store by uuid.
namespace BackupJson {

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

// Arrays and objects in the files nest at most this deep (the records go four deep).
constexpr int maximumDepth = 8;

// Parses the bytes of a file that must hold a JSON array; JsonDecodeError names the file at `path`.
JsonCoder::Json parseArray(const QByteArray &bytes, const QString &path);

// What a file's array holds, counted from its bytes before it is parsed: texts skipped, nothing
// built.
struct ArrayCounts
{
    qsizetype values = 0; // at every depth: elements of arrays and members of objects, about
    qsizetype options = 0; // in the "options" lists of the array's objects, all together
    qsizetype largestOptions = 0; // in the longest of those lists
};
ArrayCounts countArray(QByteArrayView json);

// How many elements a file's array may hold, and what is said of one that holds more.
struct ElementLimit
{
    qsizetype maximum = -1; // none when negative
    QString refusal;
};
// Sees what a file holds before it is parsed, and throws to refuse it.
using CountCheck = std::function<void(const ArrayCounts &)>;

// Reads and parses a file that must hold a JSON array, on the thread pool. Throws
// KivBackups::BackupError for a missing or unreadable file and for an array of more elements than
// `limit` (counted before it is parsed), what `check` throws, and JsonDecodeError for anything else,
// nesting deeper than maximumDepth included.
QCoro::Task<JsonCoder::Json> readArrayFile(QString path, ElementLimit limit = {}, CountCheck check = {});

// Of the forms, the first uuid that an earlier one has already.
template<typename Form> std::optional<QString> repeatedUuid(const QList<Form> &forms)
{
    QSet<QString> seen;
    seen.reserve(forms.size());
    for (const Form &form : forms) {
        if (seen.contains(form.uuid))
            return form.uuid;
        seen.insert(form.uuid);
    }
    return std::nullopt;
}

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

// Every element's form, or JsonDecodeError for the first that is not the record's form.
template<typename Form> QList<Form> decodeForms(const JsonCoder::Json &array)
{
    if (!array.is_array())
        throw JsonDecodeError(QStringLiteral("The data is not a JSON array."));
    QList<Form> forms;
    forms.reserve(qsizetype(array.size()));
    for (const JsonCoder::Json &element : array)
        forms.append(Form::fromJson(element));
    return forms;
}

// Merges the forms into the store of `context` (see StoreMerge::merge) in the store's turn of merges,
// off the caller's thread (see ModelContainer::merge), or, for the few records of an import, at once
// where no merge is running (ModelContainer::mergeSmall). Does nothing when the context is gone.
// `stored`, when given, is set as soon as the merge has been written, on the thread that wrote it:
// before the task returns, which a program that ends meanwhile never sees.
enum class MergeSize { Large, Small };
QCoro::Task<void> mergeIntoStore(QPointer<ModelContext> context, QList<ProfileForm> profiles,
                                 QList<BackgroundForm> backgrounds, bool replaceExisting, MergeSize size,
                                 std::shared_ptr<std::atomic<bool>> stored = {});

} // namespace BackupJson

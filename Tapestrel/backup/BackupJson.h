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
#include <QString>

#include <memory>
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

// How many elements a file's array may hold, and what is said of one that holds more.
struct ElementLimit
{
    qsizetype maximum = -1; // none when negative
    QString refusal;
};

// Reads and parses a file that must hold a JSON array, on the thread pool. Throws
// KivBackups::BackupError for a missing or unreadable file, for an array of more elements than
// `limit` and for an array held by one of its elements (a profile's options) of more elements than
// `innerLimit` (both counted before it is parsed), and JsonDecodeError for anything else, nesting
// deeper than maximumDepth included.
QCoro::Task<JsonCoder::Json> readArrayFile(QString path, ElementLimit limit = {},
                                           ElementLimit innerLimit = {});

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

// Merges the forms into the store of `context` on the calling thread (see StoreMerge::merge), and
// tells the store's contexts.
void mergeIntoStore(ModelContext &context, const QList<ProfileForm> &profiles,
                    const QList<BackgroundForm> &backgrounds, bool replaceExisting);

} // namespace BackupJson

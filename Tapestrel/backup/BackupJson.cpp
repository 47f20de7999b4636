#include "Tapestrel/backup/BackupJson.h"

#include "KivBackups/BackupError.h"
#include "KivUtilities/JsonNesting.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/StoreMerge.h"
#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

#include <cerrno>
#include <exception>

namespace BackupJson {

namespace {

KivBackups::BackupError fileError(const QString &path, const Platform::AtomicFile::Failure &failure)
{
    return KivBackups::BackupError(
        KivBackups::BackupError::fileSystemDomain, int(failure.error),
        QCoreApplication::translate("BackupJson", "The file “%1” could not be written: %2")
            .arg(path, failure.reason));
}

std::exception_ptr writeDocuments(QString storePath, QList<StoreFile> files)
{
    try {
        StoreSnapshot snapshot(storePath);
        for (const StoreFile &target : std::as_const(files)) {
            Platform::AtomicFile file(target.path);
            bool written = file.open();
            if (written) {
                const StoreSnapshot::Sink sink = [&file, &written](QByteArrayView bytes) {
                    written = written && file.write(bytes.data(), bytes.size());
                };
                writeDocument(snapshot, target.document, sink);
            }
            if (!written || !file.commit())
                throw fileError(target.path, {file.error(), file.errorString()});
        }
        return {};
    } catch (...) {
        return std::current_exception();
    }
}

struct ParseOutcome
{
    JsonCoder::Json value;
    std::exception_ptr error;
};
// Held by pointer, so that taking the result out of its future never copies the document.
using SharedOutcome = std::shared_ptr<ParseOutcome>;

// Whether an array held by an element of the outer array holds more than `limit` elements, read from
// the bytes as KivUtilities reads nesting: texts skipped, nothing parsed, nothing built.
bool anyInnerArrayLonger(QByteArrayView json, qsizetype limit)
{
    int depth = 0;
    bool inText = false;
    bool inArray = false;
    qsizetype commas = 0;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inText) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inText = false;
        } else if (c == '"') {
            inText = true;
        } else if (c == '[' || c == '{') {
            if (++depth == 3) {
                inArray = c == '[';
                commas = 0;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        } else if (c == ',' && depth == 3 && inArray && ++commas >= limit) {
            return true;
        }
    }
    return false;
}

KivBackups::BackupError tooManyRecords(const QString &refusal)
{
    return KivBackups::BackupError(KivBackups::BackupError::domain,
                                   KivBackups::BackupError::tooManyRecordsCode, refusal);
}

ParseOutcome readAndParse(QString path, ElementLimit limit, ElementLimit innerLimit)
{
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw KivBackups::BackupError(
                KivBackups::BackupError::fileSystemDomain, file.exists() ? EACCES : ENOENT,
                QCoreApplication::translate("BackupJson", "The file “%1” could not be read: %2")
                    .arg(path, file.errorString()));
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw KivBackups::BackupError(
                KivBackups::BackupError::fileSystemDomain, EIO,
                QCoreApplication::translate("BackupJson", "The file “%1” could not be read: %2")
                    .arg(path, file.errorString()));
        // Counted before it is parsed: the records of a large array cost many times its text.
        if (limit.maximum >= 0 && KivUtilities::jsonArrayElementCount(bytes, limit.maximum) > limit.maximum)
            throw tooManyRecords(limit.refusal);
        if (innerLimit.maximum >= 0 && anyInnerArrayLonger(bytes, innerLimit.maximum))
            throw tooManyRecords(innerLimit.refusal);
        JsonCoder::Json value = parseArray(bytes, path);
        return {std::move(value), {}};
    } catch (...) {
        return {{}, std::current_exception()};
    }
}

SharedOutcome readAndParseShared(QString path, ElementLimit limit, ElementLimit innerLimit)
{
    return std::make_shared<ParseOutcome>(
        readAndParse(std::move(path), std::move(limit), std::move(innerLimit)));
}

} // namespace

JsonCoder::Json parseArray(const QByteArray &bytes, const QString &path)
{
    // Documents copy and compare recursively: nesting far deeper than the records go is refused
    // before it is parsed.
    if (!KivUtilities::jsonNestingWithin(bytes, maximumDepth))
        throw JsonDecodeError(
            QCoreApplication::translate("BackupJson", "The file “%1” nests its data deeper than %2 levels.")
                .arg(path)
                .arg(maximumDepth));
    JsonCoder::Json value = JsonCoder::decode(bytes);
    if (!value.is_array())
        throw JsonDecodeError(
            QCoreApplication::translate("BackupJson", "The file “%1” does not hold a list.").arg(path));
    return value;
}

void mergeIntoStore(ModelContext &context, const QList<ProfileForm> &profiles,
                    const QList<BackgroundForm> &backgrounds, bool replaceExisting)
{
    ModelContainer *container = context.container();
    StoreMerge::merge(container->filePath(), profiles, backgrounds, replaceExisting);
    container->savedElsewhere();
}

void writeDocument(StoreSnapshot &snapshot, StoreDocument document, const StoreSnapshot::Sink &sink)
{
    if (document == StoreDocument::Profiles)
        snapshot.writeProfilesJson(sink);
    else
        snapshot.writeBackgroundsJson(sink);
}

QCoro::Task<void> writeStoreFiles(QString storePath, QList<StoreFile> files)
{
    QFuture<std::exception_ptr> future = QtConcurrent::run(&writeDocuments, storePath, std::move(files));
    const std::exception_ptr error = co_await future;
    if (error)
        std::rethrow_exception(error);
}

QCoro::Task<JsonCoder::Json> readArrayFile(QString path, ElementLimit limit, ElementLimit innerLimit)
{
    QFuture<SharedOutcome> future =
        QtConcurrent::run(&readAndParseShared, path, std::move(limit), std::move(innerLimit));
    const SharedOutcome outcome = co_await future;
    if (outcome->error)
        std::rethrow_exception(outcome->error);
    co_return std::move(outcome->value);
}

} // namespace BackupJson

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

KivBackups::BackupError tooManyRecords(const QString &refusal)
{
    return KivBackups::BackupError(KivBackups::BackupError::domain,
                                   KivBackups::BackupError::tooManyRecordsCode, refusal);
}

ParseOutcome readAndParse(QString path, ElementLimit limit, CountCheck check)
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
        if (check)
            check(countArray(bytes));
        JsonCoder::Json value = parseArray(bytes, path);
        return {std::move(value), {}};
    } catch (...) {
        return {{}, std::current_exception()};
    }
}

SharedOutcome readAndParseShared(QString path, ElementLimit limit, CountCheck check)
{
    return std::make_shared<ParseOutcome>(readAndParse(std::move(path), std::move(limit), std::move(check)));
}

// Whether the bytes of a member's name, as they stand between its quotes, name "options".
bool namesOptions(QByteArrayView name)
{
    if (!name.contains('\\'))
        return name == "options";
    // Written with escapes, the name is what the parser will make of it; one it cannot read is
    // counted, which only a file the parser refuses holds.
    try {
        const JsonCoder::Json decoded = JsonCoder::decode('"' + name.toByteArray() + '"');
        return !decoded.is_string() || decoded.get<std::string>() == "options";
    } catch (const JsonDecodeError &) {
        return true;
    }
}

} // namespace

ArrayCounts countArray(QByteArrayView json)
{
    ArrayCounts counts;
    int depth = 0;
    bool objectAtTwo = false; // the container one deep in the array is an object
    QByteArrayView lastText; // the text last closed in it: a member's name when a colon follows
    bool inOptions = false; // in the "options" member of such an object
    bool counting = false; // in its list, at depth 3
    qsizetype commas = 0;
    bool anyElement = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        switch (c) {
        case '"': {
            const qsizetype start = ++i;
            while (i < json.size() && json[i] != '"')
                i += json[i] == '\\' ? 2 : 1;
            if (depth == 2)
                lastText = json.sliced(start, std::min(i, json.size()) - start);
            anyElement = anyElement || (counting && depth == 3);
            break;
        }
        case '[':
        case '{':
            ++counts.values;
            anyElement = anyElement || (counting && depth == 3);
            if (++depth == 2) {
                objectAtTwo = c == '{';
            } else if (depth == 3 && c == '[' && objectAtTwo && inOptions) {
                counting = true;
                commas = 0;
                anyElement = false;
            }
            break;
        case ']':
        case '}':
            if (depth == 3 && counting) {
                const qsizetype elements = anyElement ? commas + 1 : 0;
                counts.options += elements;
                counts.largestOptions = std::max(counts.largestOptions, elements);
                counting = false;
            }
            --depth;
            break;
        case ',':
            ++counts.values;
            if (depth == 2)
                inOptions = false;
            else if (depth == 3 && counting)
                ++commas;
            break;
        case ':':
            if (depth == 2 && objectAtTwo)
                inOptions = namesOptions(lastText);
            break;
        case ' ':
        case '\t':
        case '\n':
        case '\r':
            break;
        default:
            anyElement = anyElement || (counting && depth == 3);
        }
    }
    return counts;
}

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

QCoro::Task<void> mergeIntoStore(QPointer<ModelContext> context, QList<ProfileForm> profiles,
                                 QList<BackgroundForm> backgrounds, bool replaceExisting, MergeSize size,
                                 std::shared_ptr<std::atomic<bool>> stored)
{
    if (!context || !context->container())
        co_return;
    ModelContainer::MergeWork work = [profiles = std::move(profiles), backgrounds = std::move(backgrounds),
                                      replaceExisting, stored](const QString &storePath) {
        RowMoves moves = StoreMerge::merge(storePath, profiles, backgrounds, replaceExisting);
        if (stored)
            *stored = true;
        return moves;
    };
    // Awaited one by one: g++ 12 frees a task made and awaited in a conditional expression too early.
    ModelContainer *container = context->container();
    if (size == MergeSize::Small)
        co_await container->mergeSmall(std::move(work));
    else
        co_await container->merge(std::move(work));
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

QCoro::Task<JsonCoder::Json> readArrayFile(QString path, ElementLimit limit, CountCheck check)
{
    QFuture<SharedOutcome> future =
        QtConcurrent::run(&readAndParseShared, path, std::move(limit), std::move(check));
    const SharedOutcome outcome = co_await future;
    if (outcome->error)
        std::rethrow_exception(outcome->error);
    co_return std::move(outcome->value);
}

} // namespace BackupJson

#include "Tapestrel/backup/BackupJson.h"

#include "KivBackups/BackupError.h"
#include "Tapestrel/model/ModelContainer.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

#include <cerrno>
#include <exception>

namespace BackupJson {

namespace {

KivBackups::BackupError fileError(const QString &path, const QFileDevice &file)
{
    return KivBackups::BackupError(
        KivBackups::BackupError::fileSystemDomain, int(file.error()),
        QCoreApplication::translate("BackupJson", "The file “%1” could not be written: %2")
            .arg(path, file.errorString()));
}

std::exception_ptr writeBytes(QByteArray bytes, QString path)
{
    try {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            throw fileError(path, file);
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

ParseOutcome readAndParse(QString path)
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
        JsonCoder::Json value = JsonCoder::decode(bytes);
        if (!value.is_array())
            throw JsonDecodeError(
                QCoreApplication::translate("BackupJson", "The file “%1” does not hold a list.").arg(path));
        return {std::move(value), {}};
    } catch (...) {
        return {{}, std::current_exception()};
    }
}

} // namespace

WorkingContext::~WorkingContext()
{
    if (m_context)
        m_context->deleteLater();
}

void discardOnPool(JsonCoder::Json document)
{
    // Nothing waits for the result.
    (void)QtConcurrent::run([](JsonCoder::Json) {}, std::move(document));
}

WorkingContext makeWorkingContext(ModelContext &context)
{
    ModelContainer *container = context.container();
    WorkingContext working(container->makeContext().release());
    working->setParent(container);
    return working;
}

QCoro::Task<void> writeFile(QString path, QByteArray bytes)
{
    QFuture<std::exception_ptr> future = QtConcurrent::run(&writeBytes, std::move(bytes), path);
    const std::exception_ptr error = co_await future;
    if (error)
        std::rethrow_exception(error);
}

QCoro::Task<JsonCoder::Json> readArrayFile(QString path)
{
    QFuture<ParseOutcome> future = QtConcurrent::run(&readAndParse, path);
    ParseOutcome outcome = co_await future;
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    co_return std::move(outcome.value);
}

} // namespace BackupJson

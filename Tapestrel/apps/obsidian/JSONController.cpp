#include "Tapestrel/apps/obsidian/JSONController.h"

#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

struct TooDeep
{
};

QString tr(const char *text)
{
    return QCoreApplication::translate("JSONController", text);
}

} // namespace

JSONFileError::JSONFileError(QString path, QString message)
    : std::runtime_error(message.toStdString())
    , m_path(std::move(path))
    , m_message(std::move(message))
{ }

JSONController::JSONController(QString path, Json json)
    : m_path(std::move(path))
    , m_json(std::move(json))
{ }

std::optional<JSONController::Json> JSONController::parse(const QByteArray &bytes)
{
    // The parser itself keeps its own stack, but writing and comparing documents recurse: a
    // hostile file must not nest deeper than real settings ever do.
    const Json::parser_callback_t limitDepth = [](int depth, Json::parse_event_t event, Json &) {
        if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start)
            && depth >= maximumDepth)
            throw TooDeep {};
        return true;
    };
    try {
        return Json::parse(bytes.cbegin(), bytes.cend(), limitDepth);
    } catch (const TooDeep &) {
        return std::nullopt;
    } catch (const Json::exception &) {
        return std::nullopt;
    }
}

QByteArray JSONController::serialize(const Json &json)
{
    // Texts came from valid UTF-8 or from QString; should one still not be, it is mended rather
    // than failing the write.
    const std::string text = json.dump(2, ' ', false, Json::error_handler_t::replace);
    return QByteArray(text.data(), qsizetype(text.size()));
}

JSONController JSONController::open(const QString &path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        throw JSONFileError(path, tr("The file “%1” does not exist.").arg(path));
    // Only a regular file, looked at as it is opened: a pipe or a device in its place, also one put
    // there meanwhile, would block or never end.
    QFile file;
    if (const std::optional<QString> failure = Platform::RegularFile::open(file, path)) {
        if (*failure == Platform::RegularFile::notRegularReason())
            throw JSONFileError(path, tr("“%1” is not a file.").arg(path));
        throw JSONFileError(path, tr("The file “%1” could not be read: %2").arg(path, *failure));
    }
    if (file.size() > maximumSize)
        throw JSONFileError(path, tr("The file “%1” is too large to be a settings file.").arg(path));
    const QByteArray bytes = file.read(maximumSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw JSONFileError(path, tr("The file “%1” could not be read: %2").arg(path, file.errorString()));
    return JSONController(path, parseObject(path, bytes));
}

JSONController::Json JSONController::parseObject(const QString &path, const QByteArray &bytes)
{
    if (bytes.size() > maximumSize)
        throw JSONFileError(path, tr("The file “%1” is too large to be a settings file.").arg(path));
    std::optional<Json> json = parse(bytes);
    if (!json)
        throw JSONFileError(path, tr("The file “%1” is not valid JSON, so it was left unchanged.").arg(path));
    if (!json->is_object())
        throw JSONFileError(
            path, tr("The file “%1” does not hold a JSON object, so it was left unchanged.").arg(path));
    return std::move(*json);
}

std::optional<JSONController> JSONController::load(const QString &path)
{
    try {
        return open(path);
    } catch (const JSONFileError &) {
        return std::nullopt;
    }
}

std::optional<JSONController::Json> JSONController::edit(const QString &path,
                                                         const std::function<void(Json &json)> &change)
{
    std::optional<Json> result;
    const auto failure = Platform::AtomicFile::edit(
        path, maximumSize,
        [&](const Platform::AtomicFile::Content &content) -> std::optional<QByteArray> {
            result.reset();
            // Blanks alone have not changed for long (see below): the file is empty, not being saved. A
            // missing one is made, as the application makes it on a first change.
            Json json = !content.exists || content.bytes.trimmed().isEmpty()
                ? Json::object()
                : parseObject(path, content.bytes);
            Json changed = json;
            change(changed);
            if (changed == json && !content.exists)
                return std::nullopt;
            result = changed;
            if (changed == json)
                return std::nullopt;
            return serialize(changed);
        },
        // Obsidian saves in place: what holds nothing or does not parse may be a save caught half way.
        [](const QByteArray &bytes) { return !parse(bytes).has_value(); });
    if (failure && failure->error == QFileDevice::ReadError)
        throw JSONFileError(path, tr("The file “%1” could not be read: %2").arg(path, failure->reason));
    if (failure)
        throw JSONFileError(path, tr("The file “%1” could not be written: %2").arg(path, failure->reason));
    return result;
}

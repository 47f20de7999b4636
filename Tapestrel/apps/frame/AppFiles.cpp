#include "Tapestrel/apps/frame/AppFiles.h"

#include "platform/AtomicFile.h"
#include "platform/PropertyList.h"
#include "platform/RegularFile.h"

#include <QFileInfo>

namespace AppFiles {

std::optional<QByteArray> read(const QString &path)
{
    return Platform::RegularFile::read(path, maxFileSize).bytes;
}

namespace {

struct TooDeep
{
};

} // namespace

std::optional<nlohmann::json> parseJson(const QByteArray &bytes)
{
    try {
        return nlohmann::json::parse(bytes.begin(), bytes.end(),
                                     [](int depth, nlohmann::json::parse_event_t, nlohmann::json &) {
                                         if (depth > maxJsonDepth)
                                             throw TooDeep();
                                         return true;
                                     });
    } catch (const TooDeep &) {
        return std::nullopt;
    } catch (const nlohmann::json::exception &) {
        return std::nullopt;
    }
}

std::optional<QVariantMap> parsePropertyListDictionary(const QByteArray &bytes)
{
    return Platform::PropertyList::parseDictionary(bytes);
}

std::optional<QVariantMap> readPropertyListDictionary(const QString &path)
{
    const auto reading =
        Platform::PropertyList::readFile(path, Platform::PropertyList::Form::Readable, maxFileSize);
    if (!reading.isRead() || reading.value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return reading.value.toMap();
}

std::optional<QString> textMember(const nlohmann::json &object, const char *member)
{
    if (!object.is_object())
        return std::nullopt;
    const auto found = object.find(member);
    if (found == object.end() || !found->is_string())
        return std::nullopt;
    return QString::fromStdString(found->get<std::string>());
}

std::optional<QString> writeAtomically(const QString &path, const QByteArray &bytes)
{
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink()) {
        target = info.canonicalFilePath();
        if (target.isEmpty())
            return QStringLiteral("the link leads to no file");
    }
    if (const auto failure = Platform::AtomicFile::replace(target, bytes))
        return failure->reason;
    return std::nullopt;
}

} // namespace AppFiles

#include "Tapestrel/apps/noteplan/NotePlanThemeFile.h"

#include "Tapestrel/apps/frame/AppFiles.h"

std::optional<NotePlanThemeFile> NotePlanThemeFile::decode(const QByteArray &json)
{
    const std::optional<nlohmann::json> document = AppFiles::parseJson(json);
    if (!document)
        return std::nullopt;
    const std::optional<QString> name = AppFiles::textMember(*document, "name");
    if (!name)
        return std::nullopt;
    return NotePlanThemeFile {*name};
}

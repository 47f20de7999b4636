#include "Tapestrel/apps/forklift/ForkLiftCustomTheme.h"

#include "Tapestrel/apps/frame/AppFiles.h"

namespace ForkLiftCustomTheme {

QList<Theme> decode(const QByteArray &data)
{
    if (data.size() > AppFiles::maxFileSize)
        return {};
    const auto json = AppFiles::parseJson(data);
    if (!json || !json->is_array())
        return {};
    QList<Theme> themes;
    for (const auto &element : *json) {
        const auto id = AppFiles::textMember(element, "id");
        const auto name = AppFiles::textMember(element, "name");
        if (!id || !name)
            return {};
        // Listed only with a name to show and an id that is not "Don't set"'s empty text.
        if (!id->isEmpty() && !name->trimmed().isEmpty())
            themes.append({*id, *name});
    }
    return themes;
}

} // namespace ForkLiftCustomTheme

#include "Tapestrel/apps/alfred/AlfredFiles.h"

#include "Tapestrel/apps/frame/AppFiles.h"

#include "platform/Home.h"

std::optional<AlfredPrefs> AlfredPrefs::load()
{
    const auto bytes =
        AppFiles::read(Platform::Home::path(QStringLiteral("Library/Application Support/Alfred/prefs.json")));
    return bytes ? decode(*bytes) : std::nullopt;
}

std::optional<AlfredPrefs> AlfredPrefs::decode(const QByteArray &bytes)
{
    const auto json = AppFiles::parseJson(bytes);
    if (!json)
        return std::nullopt;
    const auto current = AppFiles::textMember(*json, "current");
    const auto localhash = AppFiles::textMember(*json, "localhash");
    if (!current || !localhash)
        return std::nullopt;
    return AlfredPrefs {*current, *localhash};
}

QString AlfredPrefs::appearanceFile() const
{
    // The folder is a path of Alfred's computer; its home and system folders are the emulated ones.
    return Platform::Home::resolve(current) + QStringLiteral("/preferences/local/") + localhash
        + QStringLiteral("/appearance/prefs.plist");
}

QString AlfredPrefs::themesFolder() const
{
    return Platform::Home::resolve(current) + QStringLiteral("/themes");
}

std::optional<QString> alfredThemeName(const QByteArray &themeFile)
{
    const auto json = AppFiles::parseJson(themeFile);
    if (!json || !json->is_object())
        return std::nullopt;
    const auto data = json->find("alfredtheme");
    if (data == json->end())
        return std::nullopt;
    return AppFiles::textMember(*data, "name");
}

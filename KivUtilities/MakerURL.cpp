#include "KivUtilities/MakerURL.h"

#include <array>
#include <utility>

namespace KivUtilities {

namespace {

constexpr std::array<std::pair<MakerURL, const char *>, 3> pages {{
    {MakerURL::newsletter, "https://www.quorvane.example/newsletter"},
    {MakerURL::apps, "https://www.quorvane.example/apps"},
    {MakerURL::contact, "https://www.quorvane.example/contact"},
}};

} // namespace

QString toRawValue(MakerURL page)
{
    for (const auto &[value, address] : pages) {
        if (value == page)
            return QString::fromLatin1(address);
    }
    return {};
}

std::optional<MakerURL> makerURLFromRawValue(const QString &rawValue)
{
    for (const auto &[value, address] : pages) {
        if (rawValue == QLatin1String(address))
            return value;
    }
    return std::nullopt;
}

} // namespace KivUtilities

#pragma once

#include <QString>

#include <optional>

namespace KivUtilities {

// The maker's web pages that the program links to (newsletter, the list of its applications, the
// contact page). The addresses are placeholders until the real pages exist.
enum class MakerURL { newsletter, apps, contact };

QString toRawValue(MakerURL page);
std::optional<MakerURL> makerURLFromRawValue(const QString &rawValue);

} // namespace KivUtilities

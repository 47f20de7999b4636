#pragma once

#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <optional>

namespace KivUtilities {

// An application version text such as "2.4.1" or "3.0-beta", kept with the text it was read from.
//
// Reading never fails: pieces that are not numbers are skipped and missing components are 0. The
// ordering looks at the numbers and the kind only, while equality also compares the text, so "1.2"
// and "1.2.0" are neither equal nor ordered. Never use Version as the key of an ordered container.
class Version
{
public:
    enum class Kind { alpha, beta, stable };

    Version() = default;
    explicit Version(const QString &string);
    Version(std::int64_t major, std::int64_t minor, std::int64_t patch, std::int64_t build, Kind kind);

    QString string;
    std::int64_t major = 0;
    std::int64_t minor = 0;
    std::int64_t patch = 0;
    std::int64_t build = 0;
    Kind kind = Kind::stable;

    // A version is stored as its text alone.
    QJsonValue toJson() const;
    // Reads a stored version; absent only when the value is not text.
    static std::optional<Version> fromJson(const QJsonValue &value);

    friend bool operator==(const Version &a, const Version &b);
    friend bool operator!=(const Version &a, const Version &b) { return !(a == b); }
    friend bool operator<(const Version &a, const Version &b);
    friend bool operator>(const Version &a, const Version &b) { return b < a; }
    friend bool operator<=(const Version &a, const Version &b) { return !(b < a); }
    friend bool operator>=(const Version &a, const Version &b) { return !(a < b); }
};

} // namespace KivUtilities

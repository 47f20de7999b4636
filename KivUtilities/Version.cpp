#include "KivUtilities/Version.h"

#include <QStringList>

#include <limits>

namespace KivUtilities {

namespace {

// Decimal text with an optional sign and at least one ASCII digit, nothing else, within 64 bits.
std::optional<std::int64_t> parseInteger(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulate towards the negative side, which has room for the most negative value.
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (value < (lowest + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == lowest)
        return std::nullopt;
    return -value;
}

int kindRank(Version::Kind kind)
{
    return static_cast<int>(kind);
}

} // namespace

Version::Version(const QString &text)
    : string(text)
{
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    const QStringView versionPart = dash < 0 ? QStringView(text) : QStringView(text).left(dash);
    const std::optional<QString> suffix =
        dash < 0 ? std::nullopt : std::optional<QString>(text.mid(dash + 1).toLower());

    std::int64_t numbers[4] = {0, 0, 0, 0};
    int count = 0;
    for (const QStringView piece : versionPart.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        if (count == 4)
            break;
        if (const auto number = parseInteger(piece))
            numbers[count++] = *number;
    }
    major = numbers[0];
    minor = numbers[1];
    patch = numbers[2];
    build = numbers[3];

    if (suffix == QLatin1String("alpha"))
        kind = Kind::alpha;
    else if (suffix == QLatin1String("beta"))
        kind = Kind::beta;
    else
        kind = patch >= 90 ? Kind::beta : Kind::stable;
}

Version::Version(std::int64_t major, std::int64_t minor, std::int64_t patch, std::int64_t build, Kind kind)
    : major(major)
    , minor(minor)
    , patch(patch)
    , build(build)
    , kind(kind)
{
    string = QString::number(major) + QLatin1Char('.') + QString::number(minor);
    if (patch != 0 || build != 0)
        string += QLatin1Char('.') + QString::number(patch);
    if (build != 0)
        string += QLatin1Char('.') + QString::number(build);
    if (kind == Kind::alpha)
        string += QLatin1String("-alpha");
    else if (kind == Kind::beta)
        string += QLatin1String("-beta");
}

QJsonValue Version::toJson() const
{
    return QJsonValue(string);
}

std::optional<Version> Version::fromJson(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    return Version(value.toString());
}

bool operator==(const Version &a, const Version &b)
{
    // Texts that differ only in how an accented letter is composed are the same text.
    const bool sameText = a.string == b.string
        || a.string.normalized(QString::NormalizationForm_C)
            == b.string.normalized(QString::NormalizationForm_C);
    return sameText && a.major == b.major && a.minor == b.minor && a.patch == b.patch && a.build == b.build
        && a.kind == b.kind;
}

bool operator<(const Version &a, const Version &b)
{
    if (a.major != b.major)
        return a.major < b.major;
    if (a.minor != b.minor)
        return a.minor < b.minor;
    if (a.patch != b.patch)
        return a.patch < b.patch;
    if (a.build != b.build)
        return a.build < b.build;
    return kindRank(a.kind) < kindRank(b.kind);
}

} // namespace KivUtilities

#include "Tapestrel/apps/obsidian/ObsidianVault.h"

#include "Tapestrel/apps/obsidian/JSONController.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

std::optional<QString> ObsidianVault::filePath(const QString &relative) const
{
    const QString joined = QDir(path).filePath(relative);
    // A link that leads nowhere is there: reading or writing through it fails, and says so.
    if (!QFileInfo::exists(joined) && !QFileInfo(joined).isSymLink())
        return std::nullopt;
    return joined;
}

size_t qHash(const ObsidianVault &vault, size_t seed)
{
    return qHashMulti(seed, vault.id, vault.name, vault.isOpen, vault.path);
}

namespace ObsidianConfigFile {

namespace {

using Json = JSONController::Json;

// The last component of a path; a trailing separator does not count.
QString lastPathComponent(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 || path.size() == 1 ? path : path.mid(slash + 1);
}

std::optional<qint64> integerValue(const Json &value)
{
    if (value.is_number_integer()) {
        if (value.is_number_unsigned())
            return qint64(
                std::min<quint64>(value.get<quint64>(), quint64(std::numeric_limits<qint64>::max())));
        return value.get<qint64>();
    }
    // A whole number written with a fraction ("1.0") is still that number.
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && std::abs(number) < 9.0e18)
            return qint64(number);
    }
    return std::nullopt;
}

struct Entry
{
    ObsidianVault vault;
    qint64 timestamp = 0;
};

} // namespace

std::optional<QList<ObsidianVault>> decode(const QByteArray &bytes)
{
    const std::optional<Json> document = JSONController::parse(bytes);
    if (!document || !document->is_object())
        return std::nullopt;
    const auto vaults = document->find("vaults");
    if (vaults == document->end() || !vaults->is_object())
        return std::nullopt;

    QList<Entry> entries;
    for (auto member = vaults->begin(); member != vaults->end(); ++member) {
        const Json &record = member.value();
        if (!record.is_object())
            return std::nullopt;
        const auto path = record.find("path");
        const auto timestamp = record.find("ts");
        if (path == record.end() || !path->is_string() || timestamp == record.end())
            return std::nullopt;
        const std::optional<qint64> ts = integerValue(*timestamp);
        if (!ts)
            return std::nullopt;
        bool isOpen = false;
        if (const auto open = record.find("open"); open != record.end() && !open->is_null()) {
            if (!open->is_boolean())
                return std::nullopt;
            isOpen = open->get<bool>();
        }
        const QString pathText = QString::fromStdString(path->get<std::string>());
        entries.append(
            {{QString::fromStdString(member.key()), lastPathComponent(pathText), isOpen, pathText}, *ts});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.vault.isOpen != b.vault.isOpen)
            return a.vault.isOpen;
        if (a.timestamp != b.timestamp)
            return a.timestamp > b.timestamp;
        return a.vault.id < b.vault.id;
    });
    QList<ObsidianVault> result;
    result.reserve(entries.size());
    for (Entry &entry : entries)
        result.append(std::move(entry.vault));
    return result;
}

} // namespace ObsidianConfigFile

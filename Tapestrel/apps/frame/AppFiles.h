#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <nlohmann/json.hpp>

#include <optional>

// Reading other applications' files, which are hostile input: size and nesting are bounded, and
// anything that cannot be read or parsed gives nothing instead of failing.
namespace AppFiles {

constexpr qint64 maxFileSize = 8 * 1024 * 1024;
constexpr int maxJsonDepth = 64;

// The whole file; nothing when it cannot be read, is not a plain file or is larger than the limit.
std::optional<QByteArray> read(const QString &path);

// The JSON document; nothing when the bytes are not JSON or nest deeper than the limit.
std::optional<nlohmann::json> parseJson(const QByteArray &bytes);

// A property list (XML or binary) whose top level is a dictionary; nothing otherwise.
std::optional<QVariantMap> parsePropertyListDictionary(const QByteArray &bytes);
// The same read from a file, through the property-list reader's own bounds (regular files only,
// size, nesting); nothing when the file cannot be read or parsed.
std::optional<QVariantMap> readPropertyListDictionary(const QString &path);

// The text member of a JSON object; nothing when the value is no object or the member no text.
std::optional<QString> textMember(const nlohmann::json &object, const char *member);

// Replaces a file's contents through a temporary file in the same folder and a rename: a reader sees
// the old file or the new one, never a part. A symbolic link is followed to its target, which keeps
// its permissions. Nothing when it worked, else the reason (the file itself is then unchanged).
std::optional<QString> writeAtomically(const QString &path, const QByteArray &bytes);

} // namespace AppFiles

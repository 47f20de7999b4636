#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace TestSupport {

// Writes a zip archive of deflated entries whose local and central headers keep both sizes in zip64
// extra fields, the 32-bit fields holding 0xFFFFFFFF, as archivers that force zip64 write them.
// False when the file cannot be written.
bool writeZip64Archive(const QString &path, const QList<std::pair<QByteArray, QByteArray>> &entries);

} // namespace TestSupport

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace TestSupport {

struct Zip64Entry
{
    QByteArray name;
    QByteArray data;
    bool stored = false; // else deflated
    // What the headers say the data takes in the archive, when not what it takes.
    std::optional<quint64> declaredCompressedSize = std::nullopt;
};

// Writes a zip archive whose local and central headers keep both sizes in zip64 extra fields, the
// 32-bit fields holding 0xFFFFFFFF, as archivers that force zip64 write them. False when the file
// cannot be written.
bool writeZip64Archive(const QString &path, const QList<Zip64Entry> &entries);

} // namespace TestSupport

#include "testsupport/Zip64Archive.h"

#include "testsupport/Deflated.h"

#include <QFile>
#include <QtEndian>

#include <zlib.h>

namespace TestSupport {

namespace {

template<typename T> void put(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

// Signature and version, flags, method, time and date, CRC, both sizes as "see the extra field",
// lengths of the name and of the one extra field.
void putHeader(QByteArray &out, quint32 signature, bool central, bool stored, quint32 crc, qsizetype nameSize)
{
    put<quint32>(out, signature);
    if (central)
        put<quint16>(out, 45);
    put<quint16>(out, 45);
    put<quint16>(out, 0);
    put<quint16>(out, stored ? 0 : Z_DEFLATED);
    put<quint32>(out, 0x58210000);
    put<quint32>(out, crc);
    put<quint32>(out, 0xffffffff);
    put<quint32>(out, 0xffffffff);
    put<quint16>(out, quint16(nameSize));
    put<quint16>(out, 20);
}

void putExtra(QByteArray &out, quint64 size, quint64 compressedSize)
{
    put<quint16>(out, 0x0001);
    put<quint16>(out, 16);
    put<quint64>(out, size);
    put<quint64>(out, compressedSize);
}

} // namespace

bool writeZip64Archive(const QString &path, const QList<Zip64Entry> &entries)
{
    QByteArray archive;
    QByteArray directory;
    for (const auto &[name, data, stored, declaredCompressedSize] : entries) {
        const quint32 crc =
            quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        const QByteArray packed = stored ? data : deflated(data, -MAX_WBITS);
        const quint64 compressedSize = declaredCompressedSize.value_or(quint64(packed.size()));
        const auto offset = quint32(archive.size());
        putHeader(archive, 0x04034b50, false, stored, crc, name.size());
        archive += name;
        putExtra(archive, quint64(data.size()), compressedSize);
        archive += packed;

        putHeader(directory, 0x02014b50, true, stored, crc, name.size());
        put<quint16>(directory, 0); // comment
        put<quint16>(directory, 0); // disk
        put<quint16>(directory, 0); // internal attributes
        put<quint32>(directory, 0); // external attributes
        put<quint32>(directory, offset);
        directory += name;
        putExtra(directory, quint64(data.size()), compressedSize);
    }
    const auto directoryOffset = quint32(archive.size());
    archive += directory;
    put<quint32>(archive, 0x06054b50);
    put<quint16>(archive, 0);
    put<quint16>(archive, 0);
    put<quint16>(archive, quint16(entries.size()));
    put<quint16>(archive, quint16(entries.size()));
    put<quint32>(archive, quint32(directory.size()));
    put<quint32>(archive, directoryOffset);
    put<quint16>(archive, 0);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(archive) == archive.size();
}

} // namespace TestSupport

#pragma once

#include <QByteArray>

#include <zlib.h>

namespace TestSupport {

// `data` compressed with deflate at its best; `windowBits` as deflateInit2() takes them (negative: a
// raw stream; 16 added: with gzip's framing).
inline QByteArray deflated(const QByteArray &data, int windowBits)
{
    z_stream stream {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&stream, uLong(data.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

} // namespace TestSupport

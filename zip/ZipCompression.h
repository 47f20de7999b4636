#pragma once

namespace Zip {

enum class ZipCompression { NoCompression, BestSpeed, DefaultCompression, BestCompression };

// The deflate level handed to the library; -1 is zlib's own default.
constexpr int compressionLevel(ZipCompression compression)
{
    switch (compression) {
    case ZipCompression::NoCompression:
        return 0;
    case ZipCompression::BestSpeed:
        return 1;
    case ZipCompression::DefaultCompression:
        return -1;
    case ZipCompression::BestCompression:
        return 9;
    }
    return -1;
}

} // namespace Zip

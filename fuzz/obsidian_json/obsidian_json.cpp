// Obsidian's files: the vault list "obsidian.json" and a vault's appearance file, read through the
// depth- and size-limited JSON reader. Whatever parses must write and read again to the same bytes,
// since the appearance file is written back whole.

#include "Tapestrel/apps/obsidian/JSONController.h"
#include "Tapestrel/apps/obsidian/ObsidianVault.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto vaults = ObsidianConfigFile::decode(bytes)) {
        for (const ObsidianVault &vault : *vaults) {
            if (vault.name.isEmpty() != vault.path.isEmpty() && vault.path != QLatin1String("/")) {
                std::fprintf(stderr, "a vault path gave no name\n");
                std::abort();
            }
        }
    }
    const auto json = JSONController::parse(bytes);
    if (!json)
        return 0;
    const QByteArray written = JSONController::serialize(*json);
    const auto again = JSONController::parse(written);
    if (!again || JSONController::serialize(*again) != written) {
        std::fprintf(stderr, "a written document reads back differently\n");
        std::abort();
    }
    return 0;
}

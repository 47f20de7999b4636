// The JSON files of a backup, read as a restore reads them: as profiles and as custom
// backgrounds. What decodes must write and decode again to the same bytes.

#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/backup/CustomBackgroundImporter.h"
#include "Tapestrel/backup/ProfileImporter.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Profile.h"

#include <cstdio>
#include <cstdlib>

namespace {

template<typename Record> QByteArray encode(const std::vector<std::unique_ptr<Record>> &records)
{
    QList<Record *> list;
    for (const auto &record : records)
        list.append(record.get());
    return BackupJson::encodeArray(list);
}

template<typename Record, typename Decode> void roundTrip(const QByteArray &bytes, Decode decode)
{
    std::vector<std::unique_ptr<Record>> records;
    try {
        records = decode(BackupJson::parseArray(bytes, QStringLiteral("file.json")));
    } catch (const ModelError &) {
        return; // refused, as a restore refuses it
    }
    const QByteArray written = encode(records);
    if (encode(decode(BackupJson::parseArray(written, QStringLiteral("again.json")))) != written) {
        std::fprintf(stderr, "decoded records write differently the second time\n");
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    roundTrip<Profile>(bytes, &ProfileImporter::decodeProfiles);
    roundTrip<CustomBackground>(bytes, &CustomBackgroundImporter::decodeBackgrounds);
    return 0;
}

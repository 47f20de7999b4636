// The daily schedule as the settings store keeps it (a JSON list). What decodes must encode and
// decode again to the same entries, and working out the next run of each entry must not fail.

#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/ScheduledProfile.h"

#include <QTimeZone>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<ScheduledProfile> entries;
    try {
        entries = ScheduledProfile::decodeList(bytes);
    } catch (const ModelError &) {
        return 0;
    }
    static const QDateTime now(QDate(2026, 3, 29), QTime(1, 30), QTimeZone("Europe/Berlin"));
    for (const ScheduledProfile &entry : std::as_const(entries))
        (void)entry.nextFireDate(now, now.timeZone());
    const QByteArray written = ScheduledProfile::encodeList(entries);
    if (ScheduledProfile::decodeList(written) != entries || ScheduledProfile::encodeList(entries) != written) {
        std::fprintf(stderr, "a schedule reads back differently: %s\n", written.constData());
        std::abort();
    }
    return 0;
}

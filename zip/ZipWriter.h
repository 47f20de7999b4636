#pragma once

#include "zip/ZipCompression.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>

namespace Zip {

// Writes a new archive entry by entry, each entry's bytes in as many pieces as the caller has them,
// so that nothing needs to be held whole or written to disk first. Entry names are UTF-8 (flagged as
// such for other tools). An archive that was not finished is removed when the writer goes, so no
// half-written file looks like an archive. Failures throw ZipError (zipFail).
class ZipWriter
{
public:
    explicit ZipWriter(const QString &zipFilePath, const std::optional<QString> &password = std::nullopt,
                       ZipCompression compression = ZipCompression::DefaultCompression);
    ~ZipWriter();
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    // Starts an entry; the one before, if still open, is closed first.
    void beginEntry(const QString &name, const std::optional<QDateTime> &modified = std::nullopt);
    void write(QByteArrayView bytes);
    void endEntry();
    // Closes the last entry and the archive: only now is it complete.
    void finish();

    int entryCount() const { return m_entryCount; }

private:
    QString m_path;
    void *m_archive;
    QByteArray m_password;
    bool m_hasPassword;
    int m_level;
    bool m_entryOpen = false;
    bool m_finished = false;
    int m_entryCount = 0;
};

} // namespace Zip

#include "platform/AtomicFile.h"

namespace Platform {

std::optional<AtomicFile::Failure> AtomicFile::replace(const QString &path, const QByteArray &bytes)
{
    AtomicFile file(path);
    if (file.open() && file.write(bytes) && file.commit())
        return std::nullopt;
    return Failure {file.error(), file.errorString()};
}

AtomicFile::AtomicFile(const QString &path)
    : m_file(path)
{ }

bool AtomicFile::open()
{
    m_failed = !m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return !m_failed;
}

bool AtomicFile::write(const char *data, qint64 size)
{
    for (qint64 done = 0; !m_failed && done < size;) {
        const qint64 step = m_file.write(data + done, size - done);
        m_failed = step <= 0;
        done += step;
    }
    return !m_failed;
}

bool AtomicFile::commit()
{
    // Without a commit the temporary file is removed when m_file goes away.
    return !m_failed && m_file.commit();
}

} // namespace Platform

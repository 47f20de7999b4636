#include "KivUtilities/NameGenerator.h"

#include <QDir>
#include <QFileInfo>

#include <limits>

namespace KivUtilities {

ListNameSource::ListNameSource(QStringList names)
    : m_names(std::move(names))
{ }

bool ListNameSource::isAvailable(const QString &name) const
{
    return !m_names.contains(name, Qt::CaseSensitive);
}

DirectoryNameSource::DirectoryNameSource(QString path)
    : m_path(std::move(path))
{ }

bool DirectoryNameSource::isAvailable(const QString &name) const
{
    const QFileInfo entry(QDir(m_path).filePath(name));
    return !entry.exists() && !entry.isSymLink();
}

NameGenerator::NameGenerator(std::shared_ptr<const NameSource> source, QString separator)
    : m_source(std::move(source))
    , m_separator(std::move(separator))
{ }

std::optional<QString> NameGenerator::uniqueName(const QString &base, const QString &ending) const
{
    if (!m_source)
        return std::nullopt;
    const QString first = base + ending;
    if (m_source->isAvailable(first))
        return first;
    for (qint64 n = 1;; ++n) {
        const QString candidate = base + m_separator + QString::number(n) + ending;
        if (m_source->isAvailable(candidate))
            return candidate;
        if (n == std::numeric_limits<qint64>::max())
            return std::nullopt;
    }
}

} // namespace KivUtilities

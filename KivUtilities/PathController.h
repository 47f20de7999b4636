#pragma once

#include <QString>

#include <concepts>

namespace KivUtilities {

// An enumeration whose cases name files or folders below one base folder: each case has a free
// toRawValue(case) giving its file name.
template<typename P>
concept PathDefinition = requires(const P &entry)
{
    {
        toRawValue(entry)
        } -> std::convertible_to<QString>;
};

// Full paths of the entries of a PathDefinition below a base folder. The paths are not checked
// against the file system.
template<PathDefinition P> class PathController
{
public:
    explicit PathController(const QString &basePath)
        : m_basePath(basePath)
    { }

    QString basePath() const { return m_basePath; }
    void setBasePath(const QString &basePath) { m_basePath = basePath; }

    // The base path and the entry's name with exactly one separator between them.
    QString path(const P &entry) const
    {
        const QString name = toRawValue(entry);
        if (m_basePath.isEmpty())
            return name;
        if (m_basePath.endsWith(QLatin1Char('/')))
            return m_basePath + name;
        return m_basePath + QLatin1Char('/') + name;
    }
    QString operator[](const P &entry) const { return path(entry); }

private:
    QString m_basePath;
};

} // namespace KivUtilities

#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace KivUtilities {

// Tells whether a candidate name is still free.
class NameSource
{
public:
    virtual ~NameSource() = default;
    virtual bool isAvailable(const QString &name) const = 0;
};

// A name is free when no element of the list equals it exactly (case-sensitive).
class ListNameSource : public NameSource
{
public:
    explicit ListNameSource(QStringList names);
    bool isAvailable(const QString &name) const override;

private:
    QStringList m_names;
};

// A name is free when the directory holds no entry of that name (a file, a folder, or a link, even
// one whose target is gone: writing to the name would follow it). The check is made at the moment
// of the call.
class DirectoryNameSource : public NameSource
{
public:
    explicit DirectoryNameSource(QString path);
    const QString &path() const { return m_path; }
    bool isAvailable(const QString &name) const override;

private:
    QString m_path;
};

// Finds a free name: base + ending, then base + separator + 1 + ending, base + separator + 2 + ending,
// and so on ("name.txt", "name-1.txt", ...). Absent only when every number is taken.
class NameGenerator
{
public:
    NameGenerator(std::shared_ptr<const NameSource> source, QString separator);

    std::optional<QString> uniqueName(const QString &base, const QString &ending) const;

private:
    std::shared_ptr<const NameSource> m_source;
    QString m_separator;
};

} // namespace KivUtilities

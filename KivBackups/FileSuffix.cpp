#include "KivBackups/FileSuffix.h"

#include "KivBackups/FileOperations.h"

#include <QFileInfo>

namespace KivBackups {

namespace {

// The extension as the last dot of the file name gives it; a leading dot is no extension.
qsizetype extensionDot(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash + 1 ? dot : -1;
}

} // namespace

FileSuffix::FileSuffix(QString path)
    : m_path(std::move(path))
{ }

QString FileSuffix::pathAdding(const QString &path, const QString &suffix)
{
    const qsizetype dot = extensionDot(path);
    const QString withoutExtension = dot < 0 ? path : path.left(dot);
    const QString extensionPart = dot < 0 || dot == path.size() - 1 ? QString() : path.mid(dot);
    const QString baseName = withoutExtension.mid(withoutExtension.lastIndexOf(QLatin1Char('/')) + 1);
    if (baseName.contains(suffix))
        return path;
    return withoutExtension + suffix + extensionPart;
}

QString FileSuffix::pathRemoving(const QString &path, const QString &suffix)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QString name = path.mid(slash + 1);
    name.remove(suffix);
    return path.left(slash + 1) + name;
}

QString FileSuffix::add(const QString &suffix) const
{
    return moveTo(pathAdding(m_path, suffix));
}

QString FileSuffix::remove(const QString &suffix) const
{
    return moveTo(pathRemoving(m_path, suffix));
}

QString FileSuffix::moveTo(const QString &newPath) const
{
    if (newPath != m_path)
        FileOperations::moveWithoutReplacing(m_path, newPath);
    return newPath;
}

} // namespace KivBackups

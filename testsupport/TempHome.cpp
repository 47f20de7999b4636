#include "testsupport/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

namespace TestSupport {

TempHome::TempHome()
    : m_oldHome(qgetenv("TAPESTREL_HOME"))
    , m_oldTest(qgetenv("TEST"))
    , m_hadHome(qEnvironmentVariableIsSet("TAPESTREL_HOME"))
    , m_hadTest(qEnvironmentVariableIsSet("TEST"))
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary home folder");
    qputenv("TAPESTREL_HOME", QFile::encodeName(m_dir.path()));
    qputenv("TEST", "1");
}

TempHome::~TempHome()
{
    if (m_hadHome)
        qputenv("TAPESTREL_HOME", m_oldHome);
    else
        qunsetenv("TAPESTREL_HOME");
    if (m_hadTest)
        qputenv("TEST", m_oldTest);
    else
        qunsetenv("TEST");
}

QString TempHome::path() const
{
    return m_dir.path();
}

QString TempHome::filePath(const QString &relative) const
{
    return QDir(m_dir.path()).filePath(relative);
}

void TempHome::writeFile(const QString &relative, const QByteArray &bytes) const
{
    const QString full = filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + full.toStdString());
    file.write(bytes);
}

void TempHome::installApp(const QString &name, const QString &bundleID) const
{
    writeFile(QStringLiteral("Applications/%1.app/Contents/Info.plist").arg(name),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<plist version=\"1.0\"><dict>"
                             "<key>CFBundleIdentifier</key><string>%1</string>"
                             "<key>CFBundleName</key><string>%2</string>"
                             "<key>CFBundleExecutable</key><string>%2</string>"
                             "</dict></plist>\n")
                  .arg(bundleID, name)
                  .toUtf8());
}

QByteArray TempHome::readFile(const QString &relative) const
{
    QFile file(filePath(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace TestSupport

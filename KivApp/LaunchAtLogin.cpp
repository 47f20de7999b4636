#include "LaunchAtLogin.h"

#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>

namespace KivApp {

namespace {

QString entryName()
{
    QString name = QGuiApplication::desktopFileName();
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    return name + QStringLiteral(".desktop");
}

// Desktop entry values escape backslashes; arguments with blanks are quoted.
QString quotedCommand(const QString &program)
{
    QString escaped = program;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    if (escaped.contains(QLatin1Char(' ')) || escaped.contains(QLatin1Char('"'))) {
        escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
        escaped = QLatin1Char('"') + escaped + QLatin1Char('"');
    }
    return escaped;
}

} // namespace

LaunchAtLogin::LaunchAtLogin(QString folder, QString command)
    : m_folder(std::move(folder))
    , m_command(command.isEmpty() ? quotedCommand(QCoreApplication::applicationFilePath())
                                  : std::move(command))
{ }

QString LaunchAtLogin::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart");
}

QString LaunchAtLogin::entryPath() const
{
    return QDir(m_folder).filePath(entryName());
}

bool LaunchAtLogin::isEnabled() const
{
    return QFile::exists(entryPath());
}

bool LaunchAtLogin::setEnabled(bool enabled)
{
    if (!enabled) {
        if (!isEnabled() || QFile::remove(entryPath()))
            return true;
        qWarning("Error during setting SMAppService: could not remove %s", qPrintable(entryPath()));
        return false;
    }
    if (QDir().mkpath(m_folder)) {
        const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n"
                                             "X-GNOME-Autostart-enabled=true\n")
                                  .arg(QCoreApplication::applicationName(), m_command);
        if (!Platform::AtomicFile::replace(entryPath(), entry.toUtf8()))
            return true;
    }
    qWarning("Error during setting SMAppService: could not write %s", qPrintable(entryPath()));
    return false;
}

LaunchOnStartupToggle::LaunchOnStartupToggle(LaunchAtLogin launchAtLogin, QWidget *parent)
    : QCheckBox(tr("Launch app on system startup"), parent)
    , m_launchAtLogin(std::move(launchAtLogin))
{
    setObjectName(QStringLiteral("LaunchOnStartupToggle"));
    setChecked(m_launchAtLogin.isEnabled());
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        m_launchAtLogin.setEnabled(on);
        // What the box shows is what will happen at the next login.
        QSignalBlocker blocker(this);
        setChecked(m_launchAtLogin.isEnabled());
    });
}

} // namespace KivApp

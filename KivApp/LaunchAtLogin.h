#pragma once

#include <QCheckBox>
#include <QString>

namespace KivApp {

// Starting the program when the user logs in, through an XDG autostart entry.
class LaunchAtLogin
{
public:
    // The entry "<desktop file name>.desktop" in the autostart folder (by default
    // $XDG_CONFIG_HOME/autostart), starting `command`.
    LaunchAtLogin(QString folder = defaultFolder(), QString command = {});

    static QString defaultFolder();
    QString entryPath() const;

    bool isEnabled() const;
    // Writes or removes the entry. A failure is written to the log once and reported as false.
    bool setEnabled(bool enabled);

private:
    QString m_folder;
    QString m_command;
};

// The settings check box "Launch app on system startup" over LaunchAtLogin; it shows what is on disk.
class LaunchOnStartupToggle : public QCheckBox
{
    Q_OBJECT

public:
    explicit LaunchOnStartupToggle(LaunchAtLogin launchAtLogin = LaunchAtLogin(), QWidget *parent = nullptr);

private:
    LaunchAtLogin m_launchAtLogin;
};

} // namespace KivApp

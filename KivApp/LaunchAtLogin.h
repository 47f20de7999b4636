#pragma once

#include <QCheckBox>
#include <QString>
#include <QStringList>

namespace KivApp {

// Starting the program when the user logs in, through an XDG autostart entry.
class LaunchAtLogin
{
public:
    // The entry "<desktop file name>.desktop" in the autostart folder (by default
    // $XDG_CONFIG_HOME/autostart), starting `program` (by default this one) with `arguments`.
    LaunchAtLogin(QString folder = defaultFolder(), QString program = {}, QStringList arguments = {});

    static QString defaultFolder();
    QString entryPath() const;
    // The entry's Exec line, quoted and escaped as desktop entries require.
    QString execLine() const;

    // Whether the entry starts the program at the next login: it is there and the desktop's startup
    // settings have not switched it off.
    bool isEnabled() const;
    // Writes or removes the entry. A failure is written to the log once and reported as false.
    bool setEnabled(bool enabled);
    // An entry that an earlier version of the program wrote starts the program as this one would: its
    // Exec line is replaced and every other line kept. Only a line exactly as the program wrote it is
    // replaced: this program with one of `earlierArguments`. The entry is the user's otherwise: a line
    // they changed, or one that starts another copy of the program, stays, as does an entry that is
    // not there (the setting is off), is already current or is not a desktop entry. False when it
    // could not be written.
    bool bringUpToDate(const QList<QStringList> &earlierArguments);

private:
    QString m_folder;
    QString m_program;
    QStringList m_arguments;
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

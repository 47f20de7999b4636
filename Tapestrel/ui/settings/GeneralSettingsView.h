#pragma once

#include "KivApp/LaunchAtLogin.h"
#include "KivApp/SettingsPage.h"

#include <functional>

class Defaults;
class QCheckBox;

// The "General" settings tab: starting at login, and whether the program shows its menu-bar icon
// and its Dock icon. Each box writes its setting at once.
class GeneralSettingsView : public KivApp::SettingsPage
{
    Q_OBJECT

public:
    explicit GeneralSettingsView(Defaults *defaults, QWidget *parent = nullptr);

    // The login entry of this program. It starts the program without its main window, as a program
    // that lives in the tray starts at login.
    static KivApp::LaunchAtLogin launchAtLogin();

private:
    QWidget *build();
    // A check box that shows and sets one boolean property of Defaults, following outside changes.
    QCheckBox *makeToggle(const QString &title, const char *objectName, std::function<bool()> read,
                          std::function<void(bool)> write, void (Defaults::*changed)());

    Defaults *m_defaults;
};

#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <chrono>
#include <functional>
#include <future>
#include <memory>

class AboutWindow;
class AppDelegate;
class MainMenuCommands;
class MainWindow;
class MenuBarExtra;
class MenuView;
class ProgramServices;
class QApplication;
class SelectionModel;
class SettingsView;
namespace KivApp {
class ShowMainWindowHandler;
}

// The program: sets itself up in the start-up order, owns the main window and the About window,
// and keeps to one running instance per user and home.
class TapestrelApp : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quorvane.Tapestrel.Shell")

public:
    // Names, version and icon theme of the application object, and the connection to the session
    // bus begun; call before anything else. The window icon follows the main window's first paint.
    static void configure(QApplication &application, const QString &version);

    // The main controller's services, made when start() first asks for them (in their place in the
    // start-up order) and the same ones after that.
    using Services = std::function<ProgramServices &()>;
    // `storePath` is the controller's profile store, which start() sees opens before the controller is
    // made.
    TapestrelApp(const QString &storePath, Services services);
    ~TapestrelApp() override;

    // Starts the program with its command-line arguments (the program name first); with
    // "--no-window" it opens no main window (a request from a script started it). Returns false
    // when another instance is already running: it was asked to show its main window (and the
    // profile of "--show-profile <uuid>") and this process should end.
    bool start(const QStringList &arguments);

    SelectionModel &selection() { return *m_selection; }
    ProgramServices &services() { return m_services(); }
    AppDelegate &delegate() { return *m_delegate; }
    // Made on first use.
    MainWindow &mainWindow();
    void showMainWindow();
    void showAbout();
    // The settings window, made on first use and kept while the program runs.
    SettingsView &settingsWindow();
    void showSettings();

    // The profile uuid of "--show-profile <uuid>", if given.
    static QString profileToShow(const QStringList &arguments);

public slots:
    // Called by a second start of the program.
    Q_SCRIPTABLE void activate(const QStringList &arguments);

private:
    static constexpr std::chrono::milliseconds finishLaunchingAtLatest {500};
    // The connection to the session bus that configure() began.
    static std::future<bool> &sessionBusConnected();
    bool claimInstance(const QStringList &arguments);
    // The window icon and the menu-bar extra; once, after the main window's first paint or at once
    // without one.
    void finishLaunching();
    // For a person: the introduction while it is due, otherwise the main window.
    void openMainWindowOrIntroduction();
    MenuView *makeSwitcherPanel();

    QString m_storePath;
    Services m_services;
    std::unique_ptr<SelectionModel> m_selection;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<KivApp::ShowMainWindowHandler> m_showMainWindowHandler;
    QPointer<MainWindow> m_mainWindow;
    QPointer<MainMenuCommands> m_menuCommands;
    QPointer<AboutWindow> m_about;
    QPointer<SettingsView> m_settings;
    std::unique_ptr<MenuBarExtra> m_menuBarExtra;
    bool m_introductionQueued = false;
    // The font database and the image format plugins, loaded on workers while the start has other
    // things to do.
    std::future<void> m_fontsLoaded;
    std::future<void> m_imageFormatsLoaded;
};

#include "TapestrelApp.h"

#include "AboutWindow.h"
#include "AppDelegate.h"
#include "AppInfo.h"
#include "MainMenuCommands.h"
#include "MainWindow.h"
#include "ProfileActionButtons.h"

#include "KivApp/AppMenuButtons.h"
#include "KivApp/ShowMainWindowHandler.h"
#include "KivApp/WindowRoom.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "KivIntroduction/IntroductionController.h"
#include "KivUpdates/CheckForUpdatesButton.h"
#include "KivUpdates/KivUpdates.h"
#include "KivUtilities/PopupListWidth.h"
#include "KivUtilities/Symbols.h"
#include "KivUtilities/UpdateDetector.h"
#include "KivWhatsNew/WhatsNewButton.h"
#include "KivWhatsNew/WhatsNewController.h"
#include "Tapestrel/automation/CommandLineClient.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/model/ShowProfileNotification.h"
#include "Tapestrel/model/UnreadableStore.h"
#include "Tapestrel/ui/ProgramServices.h"
#include "Tapestrel/ui/StartupMarks.h"
#include "Tapestrel/ui/settings/GeneralSettingsView.h"
#include "Tapestrel/ui/settings/SettingsView.h"
#include "Tapestrel/ui/switcher/MenuBarExtra.h"
#include "Tapestrel/ui/switcher/MenuView.h"
#include "Tapestrel/ui/switcher/SystemTray.h"
#include "platform/Home.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImageReader>
#include <QScreen>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

const QString objectPath = QStringLiteral("/Shell");
const QString interfaceName = QStringLiteral("com.quorvane.Tapestrel.Shell");

// One instance per emulated home: a second home (tests, a second user) runs its own program.
QString serviceName()
{
    const QByteArray digest =
        QCryptographicHash::hash(Platform::Home::root().toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("com.quorvane.Tapestrel.Shell.h") + QString::fromLatin1(digest);
}

void bringToFront(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

void TapestrelApp::configure(QApplication &application, const QString &version)
{
    application.setApplicationName(AppInfo::name);
    application.setApplicationDisplayName(AppInfo::name);
    application.setOrganizationDomain(QStringLiteral("quorvane.com"));
    application.setApplicationVersion(version);
    application.setDesktopFileName(AppInfo::bundleIdentifier);
    KivUtilities::Symbols::ensureFallbackTheme();
    KivUtilities::PopupListWidth::install(&application);
    // The session bus answers while the program sets itself up: connecting (or finding that there is
    // no bus) takes a few milliseconds that claimInstance() would otherwise wait for.
    sessionBusConnected() =
        std::async(std::launch::async, [] { return QDBusConnection::sessionBus().isConnected(); });
    StartupMarks::mark("configured");
}

std::future<bool> &TapestrelApp::sessionBusConnected()
{
    static std::future<bool> connected;
    return connected;
}

TapestrelApp::TapestrelApp(const QString &storePath, Services services)
    : m_storePath(storePath)
    , m_services(std::move(services))
    , m_selection(std::make_unique<SelectionModel>())
{
    // A fresh installation has not accepted the licence yet: this tells it from an update.
    KivUtilities::UpdateDetector::shared().initialize(QStringLiteral("didAcceptLicense"));
}

TapestrelApp::~TapestrelApp()
{
    // Before the application object, whose font database and plugins the workers read.
    for (const std::future<void> *loading : {&m_fontsLoaded, &m_imageFormatsLoaded}) {
        if (loading->valid())
            loading->wait();
    }
    m_menuBarExtra.reset();
    delete m_mainWindow.data();
    delete m_about.data();
    delete m_settings.data();
}

QString TapestrelApp::profileToShow(const QStringList &arguments)
{
    const qsizetype index = arguments.indexOf(QStringLiteral("--show-profile"));
    return index >= 0 && index + 1 < arguments.size() ? arguments[index + 1] : QString();
}

bool TapestrelApp::claimInstance(const QStringList &arguments)
{
    if (sessionBusConnected().valid())
        sessionBusConnected().wait();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return true; // Without a session bus there is no one to hand over to.
    if (bus.registerService(serviceName())) {
        bus.registerObject(objectPath, interfaceName, this, QDBusConnection::ExportScriptableSlots);
        return true;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(serviceName(), objectPath, interfaceName, QStringLiteral("activate"));
    call << arguments;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
    // When the running instance does not answer, start anyway rather than leave the user with nothing.
    return reply.type() == QDBusMessage::ErrorMessage;
}

bool TapestrelApp::start(const QStringList &arguments)
{
    // Started for a command-line or scripting request, the program serves it without a window (and
    // without the introduction, which waits for a person).
    const bool withWindow = !arguments.contains(CommandLineClient::noWindowOption);
    // The first text a window measures reads the font database (the font configuration and the list
    // of fonts), the longest single step of a start. A worker reads it meanwhile; the database is
    // shared between threads and waits for the worker when it is needed before the worker is done.
    // Another loads the image format plugins: the menu bar's extension button reads its PNG icons
    // when it is made, and the image reader asks every plugin about PNG before it reads one itself,
    // loading them all (a plugin is handed to the main thread, whichever thread loaded it).
    // The font worker then measures a text in the application's font, which looks up that font's
    // fallback fonts (fontconfig's sorted match); the database keeps them for every thread, so the
    // main window's first text finds them.
    if (withWindow) {
        m_fontsLoaded = std::async(std::launch::async, [] {
            QFontDatabase::families();
            (void)QFontMetrics(QGuiApplication::font()).height();
        });
        // The first icon taken from the icon theme reads the theme's index, the longest single step of
        // making the main window (its New Profile button shows one). That touches nothing another
        // instance owns, so it is done while the connection to the session bus is still being made;
        // and before the image format plugins are loaded, which would hold up the loading of the
        // plugin that draws the icon.
        KivUtilities::Symbols::icon(ProfileActionButtons::newProfileSymbol);
        // The plugin that draws the theme's SVG icons is loaded there too; the New Profile button's
        // icon, drawn in the first paint, would load it.
        m_imageFormatsLoaded = std::async(std::launch::async, [] {
            QImageReader::supportedImageFormats();
            KivUtilities::Symbols::loadSvgIconEngine();
        });
    }
    if (!claimInstance(arguments))
        return false;
    StartupMarks::mark("claim instance");
    // Before anything opens the store: one that cannot be read is never opened over.
    // A start without a window is a script's request too (the session bus starts the program that
    // way for a D-Bus call): nobody may be there to answer a question.
    const bool startedByCommandLine = qEnvironmentVariableIsSet(UnreadableStore::startedByCommandLineVariable)
        || arguments.contains(CommandLineClient::noWindowOption);
    qunsetenv(UnreadableStore::startedByCommandLineVariable);
    if (!UnreadableStore::ensureReadable(m_storePath, !startedByCommandLine))
        return false;

    StartupMarks::mark("store readable");
    m_delegate = std::make_unique<AppDelegate>(
        [this] { return services().desktopBackgroundController().hasVisibleBackground(); },
        [this] { return services().introductionController().runModalIfNeeded(true); },
        [this] { return m_menuBarExtra && m_menuBarExtra->isIconShown(); });
    m_delegate->applicationWillFinishLaunching(withWindow);

    // The main controller's services, in their order; its start-up task runs from here on.
    services();
    StartupMarks::mark("controller");
    m_showMainWindowHandler = std::make_unique<KivApp::ShowMainWindowHandler>(
        MainWindow::windowId, [this](const QString &) { showMainWindow(); });

    if (qEnvironmentVariableIsSet("TAPESTREL_QUIT_AFTER_FIRST_PAINT")) {
        // Start-up measurement: say when the main window is first on screen, then leave.
        connect(&mainWindow(), &MainWindow::firstPainted, this, [] {
            StartupMarks::mark("first paint");
            std::fputs("first-paint\n", stdout);
            std::fflush(stdout);
            // At once: what waits for the first paint is not part of the start.
            QCoreApplication::exit(0);
        });
    }
    // What the main window's first paint does not need comes after it: the window icon (a lookup in
    // the icon themes, and the renderings the window system is given), the menus' items and the
    // menu-bar extra.
    if (withWindow && !services().isIntroductionDue()) {
        connect(
            &mainWindow(), &MainWindow::firstPainted, this,
            [this] { QTimer::singleShot(0, this, &TapestrelApp::finishLaunching); },
            Qt::SingleShotConnection);
        // A window that is never exposed (another workspace, a compositor holding it back) waits no longer.
        QTimer::singleShot(finishLaunchingAtLatest, this, &TapestrelApp::finishLaunching);
    } else {
        finishLaunching();
    }
    if (withWindow)
        openMainWindowOrIntroduction();
    const QString uuid = profileToShow(arguments);
    if (!uuid.isEmpty())
        QTimer::singleShot(0, this, [uuid] { postShowProfileNotification(uuid); });
    return true;
}

void TapestrelApp::finishLaunching()
{
    if (m_menuBarExtra)
        return;
    if (m_menuCommands)
        m_menuCommands->fillMenus();
    if (QGuiApplication::windowIcon().isNull())
        QGuiApplication::setWindowIcon(AppInfo::icon());
    m_menuBarExtra =
        std::make_unique<MenuBarExtra>(&services().defaults(), [this] { return makeSwitcherPanel(); });
    // An entry that an earlier version wrote (it started the program without arguments) would open the
    // main window at the next login.
    GeneralSettingsView::launchAtLogin().bringUpToDate({QStringList()});
    StartupMarks::mark("finished launching");
}

void TapestrelApp::activate(const QStringList &arguments)
{
    if (arguments.contains(CommandLineClient::noWindowOption))
        return;
    openMainWindowOrIntroduction();
    const QString uuid = profileToShow(arguments);
    if (!uuid.isEmpty())
        postShowProfileNotification(uuid);
}

void TapestrelApp::openMainWindowOrIntroduction()
{
    // The introduction comes first while it is due: it runs modally once the event loop runs (so
    // the scripting service already answers meanwhile), and the main window opens after it.
    // The controller is made only when the introduction runs: its pages decode their pictures.
    ProgramServices &controller = services();
    KivIntroduction::IntroductionController *introduction = controller.madeIntroductionController();
    if (introduction && introduction->isRunningModal()) {
        bringToFront(introduction->windowController());
    } else if (controller.isIntroductionDue()) {
        if (m_introductionQueued)
            return;
        m_introductionQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_delegate->applicationDidFinishLaunching();
            m_introductionQueued = false;
        });
    } else {
        showMainWindow();
    }
}

MainWindow &TapestrelApp::mainWindow()
{
    if (!m_mainWindow) {
        ProgramServices &controller = services();
        m_mainWindow = new MainWindow(m_selection.get(), controller.modelContainer().mainContext(),
                                      &controller.defaults(), &controller.synchronizedOptionsStore(),
                                      &controller.appConfigStore());
        StartupMarks::mark("main window");
        if (m_delegate)
            m_delegate->watchMainWindow(m_mainWindow);
        MainMenuCommands::Services services;
        services.whatsNew = &controller.whatsNewController();
        services.updates = &controller.updates();
        services.showAbout = [this] {
            showAbout();
        };
        services.showSettings = [this] {
            showSettings();
        };
        // Without a system tray the switcher opens from the main window instead.
        services.showProfileSwitcher = [this] {
            if (m_menuBarExtra)
                m_menuBarExtra->showPanelAsWindow(m_mainWindow);
        };
        services.isSystemTrayAvailable = [] {
            return SystemTray::shared().isAvailable();
        };
        // The first paint shows the menus' titles; their items come with finishLaunching() (or when a
        // menu opens first).
        m_menuCommands = new MainMenuCommands(
            m_mainWindow, m_selection.get(), controller.modelContainer().mainContext(),
            &controller.defaults(), services,
            m_menuBarExtra ? MainMenuCommands::Items::Now : MainMenuCommands::Items::Later);
        StartupMarks::mark("main menu");
        if (const QRect room = KivApp::WindowRoom::of(QGuiApplication::primaryScreen()); !room.isEmpty())
            m_mainWindow->fitInto(room);
    }
    return *m_mainWindow;
}

void TapestrelApp::showMainWindow()
{
    bringToFront(mainWindow());
    StartupMarks::mark("shown");
}

void TapestrelApp::showAbout()
{
    if (!m_about)
        m_about = new AboutWindow;
    bringToFront(*m_about);
}

SettingsView &TapestrelApp::settingsWindow()
{
    if (!m_settings)
        m_settings = new SettingsView(services());
    return *m_settings;
}

void TapestrelApp::showSettings()
{
    bringToFront(settingsWindow());
}

MenuView *TapestrelApp::makeSwitcherPanel()
{
    // The menu's items live as long as the panel that shows them.
    auto *items = new QObject;
    MenuView::Actions actions;
    actions.openMainWindow = [this](bool activate) {
        if (activate)
            showMainWindow();
        else
            mainWindow().show();
    };
    actions.moreItems.settings =
        KivApp::AppMenuButtons::openSettingsButton([this] { showSettings(); }, items);
    actions.moreItems.about = KivApp::AppMenuButtons::aboutButton(
        true, [this] { showAbout(); }, items);
    actions.moreItems.sendFeedback = KivApp::AppMenuButtons::sendFeedbackButton(items);
    actions.moreItems.getMoreApps = KivApp::AppMenuButtons::getMoreAppsButton(items);
    actions.moreItems.newsletter = KivApp::AppMenuButtons::newsletterButton(items);
    actions.moreItems.quit = KivApp::AppMenuButtons::quitButton(true, items);
    actions.moreItems.whatsNew = KivWhatsNew::whatsNewButton(&services().whatsNewController(), true, items);
    actions.moreItems.checkForUpdates = checkForUpdatesButton(&services().updates(), true, items);
    auto *view = new MenuView(services().modelContainer().mainContext(), m_selection.get(), actions);
    items->setParent(view);
    return view;
}

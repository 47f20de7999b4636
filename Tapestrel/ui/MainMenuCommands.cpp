#include "MainMenuCommands.h"

#include "MainWindow.h"
#include "ProfileActionButtons.h"
#include "themelist/GenerateThemeListButton.h"

#include "KivApp/AppMenuButtons.h"
#include "KivUpdates/CheckForUpdatesButton.h"
#include "KivUtilities/URLStore.h"
#include "KivWhatsNew/WhatsNewButton.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/ui/AppInfo.h"
#include "Tapestrel/ui/TapestrelURL.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("MainMenuCommands", source);
}

// Empties a menu that is filled anew. clear() deletes only the actions that the menu owns; a submenu's
// action belongs to the submenu, which would stay behind as a hidden child of the menu.
void clearMenu(QMenu *menu)
{
    for (QAction *action : menu->actions()) {
        if (QMenu *submenu = action->menu(); submenu && submenu->parent() == menu)
            delete submenu;
    }
    menu->clear();
}

} // namespace

const QList<MainMenuCommands::EditorTab> MainMenuCommands::editorTabs = {
    {QT_TRANSLATE_NOOP("MainMenuCommands", "Background"), "background", Qt::Key_1},
    {QT_TRANSLATE_NOOP("MainMenuCommands", "System"), "system", Qt::Key_2},
    {QT_TRANSLATE_NOOP("MainMenuCommands", "Apps"), "apps", Qt::Key_3},
    {QT_TRANSLATE_NOOP("MainMenuCommands", "Tools"), "developer", Qt::Key_4},
};

MainMenuCommands::MainMenuCommands(MainWindow *window, SelectionModel *selection, ModelContext *context,
                                   Defaults *defaults, Services services, Items items)
    : QObject(window)
    , m_window(window)
    , m_selection(selection)
    , m_context(context)
    , m_defaults(defaults)
    , m_services(std::move(services))
    , m_menuBar(new QMenuBar(window))
{
    m_menuBar->setObjectName(QStringLiteral("MainMenu"));
    m_application = m_menuBar->addMenu(QCoreApplication::applicationName());
    m_application->setObjectName(QStringLiteral("ApplicationMenu"));
    m_file = m_menuBar->addMenu(text("File"));
    m_profile = m_menuBar->addMenu(text("Profile"));
    m_view = m_menuBar->addMenu(text("View"));
    m_help = m_menuBar->addMenu(text("Help"));
    window->setMenuBar(m_menuBar);
    if (items == Items::Now) {
        fillMenus();
        return;
    }
    for (QMenu *menu : {m_application, m_file, m_profile, m_view, m_help})
        connect(menu, &QMenu::aboutToShow, this, &MainMenuCommands::fillMenus);
}

void MainMenuCommands::fillMenus()
{
    if (m_filled)
        return;
    m_filled = true;
    buildApplicationMenu();
    buildViewMenu();
    buildHelpMenu();
    if (m_selection)
        connect(m_selection, &SelectionModel::selectedProfilesChanged, this,
                &MainMenuCommands::rebuildProfileMenus);
    rebuildProfileMenus();
}

QMenu *MainMenuCommands::menu(const QString &title) const
{
    for (QAction *action : m_menuBar->actions()) {
        if (action->menu() && action->text() == title)
            return action->menu();
    }
    return nullptr;
}

void MainMenuCommands::buildApplicationMenu()
{
    using namespace KivApp::AppMenuButtons;
    QMenu *menu = m_application;
    menu->addAction(aboutButton(true, m_services.showAbout, menu));
    menu->addSeparator();
    menu->addAction(checkForUpdatesButton(m_services.updates, true, menu));
    menu->addSeparator();
    menu->addAction(newsletterButton(menu));
    menu->addAction(getMoreAppsButton(menu));
    menu->addSeparator();
    // Where the desktop's applications keep it: in the application menu, above Quit.
    QAction *settings = openSettingsButton(m_services.showSettings, menu);
    settings->setText(text("Settings..."));
    menu->addAction(settings);
    menu->addSeparator();
    // The application menu names the program on its Quit item, as the desktop's own does.
    QAction *quit = quitButton(false, menu);
    quit->setText(text("Quit %1").arg(AppInfo::name));
    menu->addAction(quit);
}

void MainMenuCommands::rebuildProfileMenus()
{
    const SelectionModel::Selection chosen =
        m_selection ? m_selection->selectedProfiles() : SelectionModel::Selection();
    Profile *single = ProfileActionButtons::singleProfile(chosen);

    clearMenu(m_file);
    QAction *newProfile = ProfileActionButtons::newProfileButton(m_file, [window = m_window] {
        if (window)
            window->promptForNewProfile();
    });
    newProfile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m_file->addAction(newProfile);
    QAction *duplicate = ProfileActionButtons::duplicateButton(m_context, chosen, m_file);
    duplicate->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    m_file->addAction(duplicate);
    m_file->addSeparator();
    QAction *remove = ProfileActionButtons::deleteButton(m_selection, chosen, m_file, [window = m_window] {
        // After the menu has closed.
        QTimer::singleShot(0, window, [window] {
            if (window)
                window->confirmDeletion();
        });
    });
    // The delete key of the other platform is Backspace here; the Delete key works as well.
    remove->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Backspace), QKeySequence(Qt::CTRL | Qt::Key_Delete)});
    m_file->addAction(remove);

    clearMenu(m_profile);
    QAction *apply = ProfileActionButtons::applyProfileButton(single, m_profile);
    apply->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_profile->addAction(apply);
    m_profile->addAction(ProfileActionButtons::getCurrentSettingsButton(m_selection, m_profile));
    m_profile->addSeparator();
    m_profile->addAction(ProfileActionButtons::isProfileEnabledToggle(chosen, m_profile));
    m_profile->addSeparator();
    m_profile->addMenu(GenerateThemeListButton::make(single, m_profile, m_services.registry));
}

void MainMenuCommands::buildViewMenu()
{
    m_view->addSection(text("Editor Tab"));
    auto *group = new QActionGroup(m_view);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const EditorTab &tab : editorTabs) {
        QAction *action = m_view->addAction(text(tab.title));
        action->setCheckable(true);
        action->setShortcut(QKeySequence(Qt::CTRL | tab.key));
        action->setData(QString::fromLatin1(tab.tag));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, tag = QString::fromLatin1(tab.tag)] {
            if (m_defaults)
                m_defaults->setActiveEditorTab(tag);
            updateEditorTabChecks();
        });
    }
    if (m_defaults)
        connect(m_defaults, &Defaults::activeEditorTabChanged, this,
                &MainMenuCommands::updateEditorTabChecks);
    updateEditorTabChecks();
    if (m_services.showProfileSwitcher
        && !(m_services.isSystemTrayAvailable && m_services.isSystemTrayAvailable())) {
        m_view->addSeparator();
        QAction *switcher = m_view->addAction(text("Profile Switcher"));
        switcher->setShortcut(profileSwitcherShortcut);
        connect(switcher, &QAction::triggered, this, [show = m_services.showProfileSwitcher] { show(); });
    }
}

void MainMenuCommands::updateEditorTabChecks()
{
    const std::optional<QString> active = m_defaults ? m_defaults->activeEditorTab() : std::nullopt;
    for (QAction *action : m_view->actions()) {
        if (action->isCheckable())
            action->setChecked(active && action->data().toString() == *active);
    }
}

void MainMenuCommands::buildHelpMenu()
{
    QMenu *help = m_help;
    help->addAction(KivWhatsNew::whatsNewButton(m_services.whatsNew, true, help));
    QAction *community = KivApp::AppMenuButtons::makeAction(text("Join the Tapestrel Community"),
                                                            QStringLiteral("link"), help);
    connect(community, &QAction::triggered, community,
            [] { KivUtilities::URLStore::open(TapestrelURL::community, false); });
    help->addAction(community);
    help->addAction(KivApp::AppMenuButtons::sendFeedbackButton(help));
}

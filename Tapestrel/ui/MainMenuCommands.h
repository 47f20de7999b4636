#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>

#include <functional>

class Defaults;
class MainWindow;
class ModelContext;
class OptionStore;
class QMenu;
class QMenuBar;
class SelectionModel;
class KivUpdates;
namespace KivWhatsNew {
class WhatsNewController;
}

// The main window's menu bar: the application menu, File, Profile, View and Help. The profile
// items follow the main window's selection (rebuilt whenever it changes, so their shortcuts act on
// what is selected); the editor-tab items carry a check mark on the tab of "activeEditorTab".
class MainMenuCommands : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        QPointer<KivWhatsNew::WhatsNewController> whatsNew;
        QPointer<KivUpdates> updates;
        std::function<void()> showAbout;
        std::function<void()> showSettings;
        // The registry for the theme list; the program's by default.
        OptionStore *registry = nullptr;
        // Where the desktop has no system tray the profile switcher opens from here: View then holds
        // "Profile Switcher" with its shortcut.
        std::function<void()> showProfileSwitcher;
        // Asked when the menus get their items (it may ask the session bus); none: there is no tray.
        std::function<bool()> isSystemTrayAvailable;
    };

    static inline const QKeySequence profileSwitcherShortcut {Qt::CTRL | Qt::SHIFT | Qt::Key_P};

    // When the menus get their items: at once, or at fillMenus() (a window's first paint shows only
    // the menus' titles; making the items and their icons is a tenth of a start). A menu opened
    // before then fills them first.
    enum class Items { Now, Later };

    // Installs the menu bar in the window.
    MainMenuCommands(MainWindow *window, SelectionModel *selection, ModelContext *context, Defaults *defaults,
                     Services services, Items items = Items::Now);

    // Gives the menus their items (and their shortcuts), once.
    void fillMenus();

    QMenuBar *menuBar() const { return m_menuBar; }
    // The top-level menu with this title, or null.
    QMenu *menu(const QString &title) const;

    // The editor tabs: title, tag stored in "activeEditorTab", shortcut key.
    struct EditorTab
    {
        const char *title;
        const char *tag;
        Qt::Key key;
    };
    static const QList<EditorTab> editorTabs;

private:
    void buildApplicationMenu();
    void buildViewMenu();
    void buildHelpMenu();
    void rebuildProfileMenus();
    void updateEditorTabChecks();

    QPointer<MainWindow> m_window;
    QPointer<SelectionModel> m_selection;
    QPointer<ModelContext> m_context;
    QPointer<Defaults> m_defaults;
    Services m_services;
    QMenuBar *m_menuBar;
    QMenu *m_application;
    QMenu *m_file;
    QMenu *m_profile;
    QMenu *m_view;
    QMenu *m_help;
    bool m_filled = false;
};

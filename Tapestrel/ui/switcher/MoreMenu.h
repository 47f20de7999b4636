#pragma once

#include <QMenu>

class QAction;

// The switcher's "More" menu with the program-wide commands. The items come from the application
// (the kit's ready-made buttons); the menu puts them in their order and sections. An absent item is
// left out, never shown dead.
class MoreMenu : public QMenu
{
    Q_OBJECT

public:
    struct Items
    {
        QAction *settings = nullptr;
        QAction *about = nullptr;
        QAction *sendFeedback = nullptr;
        QAction *getMoreApps = nullptr;
        QAction *newsletter = nullptr;
        QAction *quit = nullptr;
        // In the About section, after About.
        QAction *whatsNew = nullptr;
        QAction *checkForUpdates = nullptr;
    };

    explicit MoreMenu(const Items &items, QWidget *parent = nullptr);
};

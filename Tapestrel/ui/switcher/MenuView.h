#pragma once

#include "Tapestrel/ui/switcher/MoreMenu.h"
#include "Tapestrel/ui/switcher/NewProfileView.h"

#include "Tapestrel/model/ProfileNameOrder.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class ModelContext;
class Profile;
class ProfileMenuButton;
class QVBoxLayout;
class QPushButton;
class QToolButton;
class SelectionModel;
class TileGrid;

// The profile switcher: every enabled profile as a tile in name order, a button that opens the main
// window, a "plus" button with the form for a new profile, and the "More" menu. It follows the
// store live: profiles that are added, renamed, enabled or disabled anywhere move in and out.
class MenuView : public QWidget
{
    Q_OBJECT

public:
    struct Actions
    {
        // Brings up the main window ("edit-profiles"); `activate` also brings the program forward.
        std::function<void(bool activate)> openMainWindow;
        // Applies a profile; by default an apply command that remembers the profile as the last one.
        std::function<void(Profile *)> applyProfile;
        // Makes a profile of that name from the current settings and selects it; by default the
        // new-profile command, without its notice.
        std::function<void(const QString &)> createProfile;
        MoreMenu::Items moreItems;
    };

    // The panel's size where the screen has room for it; on a smaller screen it shrinks, its bars
    // staying whole and its tiles scrolling.
    static constexpr int panelWidth = 424;
    static constexpr int panelHeight = 620;

    MenuView(ModelContext *context, SelectionModel *model, Actions actions, QWidget *parent = nullptr);

    // Every enabled profile's tile, in order; only those near the scrolled-to place are shown.
    QList<ProfileMenuButton *> tiles() const;
    QPushButton *editProfilesButton() const { return m_editProfiles; }
    QToolButton *plusButton() const { return m_plus; }
    QToolButton *moreButton() const { return m_more; }
    MoreMenu *moreMenu() const { return m_moreMenu; }
    // The form while it is shown, else null.
    NewProfileView *newProfileView() const { return m_newProfileView; }
    bool isNewProfileViewVisible() const { return m_newProfileView != nullptr; }

    void showNewProfileView();

    QSize sizeHint() const override { return {panelWidth, panelHeight}; }

private:
    void reload();
    // Follows the profile's name and state.
    void watch(Profile *profile);
    ProfileMenuButton *makeTile(Profile *profile);
    // Puts the tiles in the grid in this order and lets the tiles that went go.
    void showTiles(const QList<ProfileMenuButton *> &tiles, const QList<ProfileMenuButton *> &gone,
                   bool namesChanged);
    void scheduleReload();
    void hideNewProfileView();
    void editProfile(Profile *profile);

    QPointer<ModelContext> m_context;
    QPointer<SelectionModel> m_model;
    Actions m_actions;
    QWidget *m_topBar;
    QWidget *m_buttonRow;
    QPushButton *m_editProfiles;
    QToolButton *m_plus;
    QToolButton *m_more;
    MoreMenu *m_moreMenu;
    QPointer<NewProfileView> m_newProfileView;
    TileGrid *m_grid = nullptr;
    QVBoxLayout *m_contentLayout = nullptr;
    // The profiles of the last fetch, in its order, and the connections that watch each of them.
    QList<QPointer<Profile>> m_connectedProfiles;
    struct Watch
    {
        QPointer<Profile> profile;
        QMetaObject::Connection name;
        QMetaObject::Connection enabled;
    };
    QHash<const Profile *, Watch> m_watches;
    ProfileNameKeys m_nameKeys;
    bool m_namesOrStatesChanged = true; // since the last reload: the tiles may need another order
    bool m_reloadPending = false;
};

#pragma once

#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/SelectionModel.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class AppConfigStore;
class Defaults;
class ModelContext;
class SynchronizedOptionsStore;
class Profile;
class ProfileEditor;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QStackedWidget;
class SelectionModel;

// The main window "edit-profiles": the list of profiles (several may be selected), the editor of
// the one selected profile, the profile menus, the new-profile prompt, the delete confirmation and
// the toasts.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    static inline const QString windowId = QStringLiteral("edit-profiles");
    static constexpr QSize defaultSize {720, 690};

    // The profile editor gets the defaults, store and application records (see ProfileEditor).
    MainWindow(SelectionModel *selection, ModelContext *context, Defaults *defaults = nullptr,
               SynchronizedOptionsStore *store = nullptr, AppConfigStore *configs = nullptr,
               QWidget *parent = nullptr);

    QListWidget *profileList() const { return m_list; }
    ProfileEditor *editor() const { return m_editor; }
    // The profile list's context menu for the current selection. The caller owns it.
    QMenu *makeContextMenu(QWidget *parent = nullptr);

    // Selects the profile with this uuid; false when there is none.
    bool showProfile(const QString &uuid);
    // Asks for a name and creates a profile from the current settings.
    void promptForNewProfile();
    // Asks before deleting the profiles recorded for deletion.
    void confirmDeletion();
    // Puts the menu bar above the window's content.
    void setMenuBar(QMenuBar *menuBar);
    // Gives the window its default size, or where the room on a screen is smaller, as much of it as a
    // window with a title bar can take; centred in the room.
    void fitInto(const QRect &room);

signals:
    // After the first paint, for start-up measurements.
    void firstPainted();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void reloadProfiles();
    void listSelectionChanged();
    void selectionModelChanged();
    void updateEditor();
    void followSelectionWithCurrentRow();
    void profileChanged();
    void rowProfileDestroyed(QObject *object);
    Profile *profileAt(int row) const;
    // The row showing the profile, or -1.
    int rowOf(const Profile *profile) const;

    QPointer<SelectionModel> m_selection;
    QPointer<ModelContext> m_context;
    Defaults *m_defaults;
    SynchronizedOptionsStore *m_store;
    AppConfigStore *m_configs;
    QListWidget *m_list;
    QStackedWidget *m_detail;
    QLabel *m_placeholder;
    ProfileEditor *m_editor = nullptr;
    QPointer<Profile> m_editedProfile;
    // The profile of each row of the list (null once it is destroyed), and the row of each profile.
    QList<QObject *> m_rows;
    QHash<const QObject *, qsizetype> m_rowOf;
    bool m_syncing = false;
    bool m_buildingEditor = false;
    bool m_editorOutdated = false;
    bool m_painted = false;
};

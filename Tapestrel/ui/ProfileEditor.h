#pragma once

#include "Tapestrel/model/Profile.h"

#include <QPointer>
#include <QWidget>

class AppBasedEditorTab;
class AppConfigStore;
class Defaults;
class Profile;
class QTabWidget;
class SynchronizedOptionsStore;

// The editor of one profile: tabs Background, System, Apps and Tools. The selected tab is the
// "activeEditorTab" setting, both ways.
class ProfileEditor : public QWidget
{
    Q_OBJECT

public:
    // The tags under which the tabs are remembered, in tab order.
    static const QStringList tabTags; // "background", "system", "apps", "developer"

    // The groups of the System tab and the option identifiers of their rows, in order.
    struct Group
    {
        QString title;
        QStringList keys;
    };
    static QList<Group> systemGroups();

    // Without defaults the tab is not remembered, without a store no option is disabled in all
    // profiles, and without application records the Apps and Tools tabs stay empty (the records are
    // asked for when one of these tabs first comes on screen).
    ProfileEditor(Profile *profile, Defaults *defaults = nullptr, SynchronizedOptionsStore *store = nullptr,
                  AppConfigStore *configs = nullptr, QWidget *parent = nullptr);

    Profile *profile() const { return m_profile; }
    QTabWidget *tabs() const { return m_tabs; }
    QString currentTag() const;
    // The Apps and Tools tabs, once they have come on screen.
    AppBasedEditorTab *appsTab() const { return m_appsTab; }
    AppBasedEditorTab *toolsTab() const { return m_toolsTab; }

private:
    QWidget *makeBackgroundTab();
    QWidget *makeSystemTab();
    QWidget *makeHolder();
    void buildApplicationTab(int index);
    void selectStoredTab();

    QPointer<Profile> m_profile;
    QPointer<Defaults> m_defaults;
    SynchronizedOptionsStore *m_store;
    AppConfigStore *m_configs;
    QWidget *m_appsHolder = nullptr;
    QWidget *m_toolsHolder = nullptr;
    AppBasedEditorTab *m_appsTab = nullptr;
    AppBasedEditorTab *m_toolsTab = nullptr;
    QTabWidget *m_tabs;
    bool m_selecting = false;
};

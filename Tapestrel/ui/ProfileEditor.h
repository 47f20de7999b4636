#pragma once

#include "Tapestrel/model/Profile.h"

#include <QPointer>
#include <QWidget>

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

    // Defaults and store default to the main controller's.
    ProfileEditor(Profile *profile, Defaults *defaults = nullptr, SynchronizedOptionsStore *store = nullptr,
                  QWidget *parent = nullptr);

    Profile *profile() const { return m_profile; }
    QTabWidget *tabs() const { return m_tabs; }
    QString currentTag() const;

private:
    QWidget *makeBackgroundTab();
    QWidget *makeSystemTab();
    QWidget *makePendingTab(const QString &text);
    void selectStoredTab();

    QPointer<Profile> m_profile;
    QPointer<Defaults> m_defaults;
    SynchronizedOptionsStore *m_store;
    QTabWidget *m_tabs;
    bool m_selecting = false;
};

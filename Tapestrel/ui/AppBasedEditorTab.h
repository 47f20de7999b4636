#pragma once

#include "Tapestrel/model/Profile.h"

#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <QStringList>

class AppConfigStore;
class AppSection;
class HiddenAppBox;
class SynchronizedOptionsStore;

// The Apps or the Tools tab of the profile editor: one section per application of the tab, in the
// tab's order, shown while the application is installed, and the footer that counts the hidden
// ones. The sections ask again whether their application is installed each time the tab comes on
// screen.
class AppBasedEditorTab : public QScrollArea
{
    Q_OBJECT

public:
    // The application ids of the two tabs, in their order.
    static const QStringList appsTab; // Lumapad, Corvella, ForkLift, Alfred, Obsidian, Bear, NotePlan
    static const QStringList toolsTab; // Xcode, VS Code, Terminal, iTerm

    // Every id must be registered: a missing one is a fault of the program that stops it.
    AppBasedEditorTab(Profile *profile, const QStringList &apps, AppConfigStore *configs,
                      SynchronizedOptionsStore *store, QWidget *parent = nullptr);

    Profile *profile() const { return m_profile; }
    QStringList apps() const { return m_apps; }
    // One section per application of the tab, in its order; installed or not.
    QList<AppSection *> sections() const { return m_sections; }
    // The sections shown now.
    QList<AppSection *> shownSections() const;
    HiddenAppBox *hiddenAppBox() const { return m_box; }

    // Decides again which sections are shown, as coming on screen does.
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPointer<Profile> m_profile;
    QStringList m_apps;
    QList<AppSection *> m_sections;
    HiddenAppBox *m_box;
};

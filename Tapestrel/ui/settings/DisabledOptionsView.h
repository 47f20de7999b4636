#pragma once

#include "KivApp/SettingsPage.h"

#include <QPointer>
#include <QSet>
#include <QStringList>

class OptionStore;
class QLabel;
class QListWidget;
class QMenu;
class QToolButton;
class SynchronizedOptionsStore;

// The "Disabled Options" settings page: the option identifiers that no profile ever changes, kept in
// the synchronised options and so shared with the option rows of the profile editor. Identifiers
// are added from a menu of the registered options and removed by selecting their rows.
class DisabledOptionsView : public KivApp::SettingsPage
{
    Q_OBJECT

public:
    static constexpr int fixedHeight = 400;

    // `options` is the registry whose models the menu offers; by default the program's.
    DisabledOptionsView(SynchronizedOptionsStore *store, OptionStore *options = nullptr,
                        QWidget *parent = nullptr);

    // The rows' identifiers that are selected.
    QSet<QString> selection() const { return m_selection; }
    void setSelection(const QSet<QString> &ids);

    // The options the "Add" menu offers, by identifier, in menu order.
    QStringList offeredOptions() const;
    // Appends an identifier to the list (what a menu item does).
    void addOption(const QString &id);
    // Takes every selected identifier out of the list (what the remove button does).
    void removeSelected();

    // Parts of the content, once it is built.
    QListWidget *list() const { return m_list; }
    QLabel *emptyText() const { return m_emptyText; }
    QToolButton *addButton() const { return m_addButton; }
    QMenu *addMenu() const { return m_addMenu; }
    QToolButton *removeButton() const { return m_removeButton; }

    // The display path of a registered option, or none for an identifier no model has.
    QStringList displayPath(const QString &id) const;

private:
    QWidget *build();
    void reload();
    void fillAddMenu();
    void takeSelectionFromList();
    OptionStore &registry() const;

    QPointer<SynchronizedOptionsStore> m_store;
    OptionStore *m_options;
    QSet<QString> m_selection;
    bool m_reloading = false;
    QListWidget *m_list = nullptr;
    QWidget *m_empty = nullptr;
    QLabel *m_emptyText = nullptr;
    QToolButton *m_addButton = nullptr;
    QMenu *m_addMenu = nullptr;
    QToolButton *m_removeButton = nullptr;
};

#pragma once

#include "Tapestrel/model/SelectionModel.h"

#include <QPointer>

class ModelContext;
class Profile;
class QAction;
class QObject;
class QWidget;

// The operations on whole profiles, as menu items for the main window's menus. Each item is made
// for the profiles it acts on when its menu opens; the selection model and the model context are
// the main window's.
class ProfileActionButtons
{
public:
    using Profiles = SelectionModel::Selection;

    // "Apply Profile": enabled only for one profile; applies it and remembers it as the last one.
    static QAction *applyProfileButton(Profile *profile, QObject *parent);
    // "New Profile": asks the main window for the new profile's name; creates nothing itself.
    static QAction *newProfileButton(QObject *parent, std::function<void()> showPrompt);
    // The symbol the New Profile buttons show.
    static inline const QString newProfileSymbol = QStringLiteral("plus");
    // "Duplicate": one copy of each profile, saved at once.
    static QAction *duplicateButton(ModelContext *context, const Profiles &profiles, QObject *parent);
    // "Delete": records the profiles for deletion and raises the confirmation.
    static QAction *deleteButton(SelectionModel *model, const Profiles &profiles, QObject *parent,
                                 std::function<void()> showConfirmation);
    // "Get Current Settings": refills the one selected profile from the current settings.
    static QAction *getCurrentSettingsButton(SelectionModel *model, QObject *parent);
    // "Disable" while every profile is enabled (an empty set included), otherwise "Enable".
    static QAction *isProfileEnabledToggle(const Profiles &profiles, QObject *parent);

    // The one profile of the selection, or null unless exactly one is selected.
    static Profile *singleProfile(const Profiles &profiles);
    static bool allEnabled(const Profiles &profiles);
};

// The question asked before deleting the profiles recorded for deletion. It deletes exactly the
// recorded set, whatever the selection has become meanwhile.
class DeleteConfirmation
{
public:
    static const QString title; // "Are you sure you want to delete selected profiles?"
    static const QString message; // "This operation cannot be undone."

    // Asks; on "Delete" deletes the recorded profiles and empties the selection. Returns whether
    // it deleted.
    static bool run(SelectionModel *model, ModelContext *context, QWidget *parent = nullptr);
};

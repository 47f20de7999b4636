#pragma once

#include "KivDesktopBackground/Background.h"

#include <QAction>
#include <QPointer>

#include <QCoro/QCoroTask>

#include "Tapestrel/background/BackgroundSelection.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContext.h"

// The commands of a background tile's menu. Each acts on the background it was made for.

// "Apply Background": shows the background on every screen now. No profile changes. A background the
// desktop does not take is drawn in the program's windows, and the person who chose the command is
// told why.
class ApplyBackgroundButton : public QAction
{
    Q_OBJECT

public:
    ApplyBackgroundButton(const KivDesktopBackground::Background &background, QObject *parent);

    // Ends when the desktop has taken the background or refused it (the alert then follows from the
    // event loop).
    QCoro::Task<void> apply();

private:
    KivDesktopBackground::Background m_background;
};

// "Choose Background": makes the background the editor's selection. The desktop does not change.
class SetAsBackgroundButton : public QAction
{
    Q_OBJECT

public:
    SetAsBackgroundButton(BackgroundSelection *selection, const KivDesktopBackground::Background &background,
                          QObject *parent);

private:
    QPointer<BackgroundSelection> m_selection;
    KivDesktopBackground::Background m_background;
};

// "Duplicate": stores a copy of a custom background (same kind and value, a new uuid, no bookmark)
// and saves at once; a failed save is left to a later one. A record of an unknown kind is not copied.
class DuplicateBackgroundButton : public QAction
{
    Q_OBJECT

public:
    DuplicateBackgroundButton(ModelContext *modelContext, CustomBackground *background, QObject *parent);

    // The copy, or nothing.
    static CustomBackground *duplicate(ModelContext *modelContext, CustomBackground *background);

private:
    QPointer<ModelContext> m_modelContext;
    QPointer<CustomBackground> m_background;
};

// Saves a context after a change of the library, dropping a failure: the change stays pending and
// the autosave stores it later.
void saveIgnoringErrors(ModelContext *modelContext);

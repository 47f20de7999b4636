#pragma once

#include "Tapestrel/background/BuiltInBackground.h"

#include <QList>

class ModelContext;

// The pictures that ship with the program, as the image grid offers them first: the copies in the
// wallpapers folder, in folder order, each with a fresh id. Computed once; an unreadable folder
// gives none.
class BackgroundImageStore
{
public:
    // Makes sure the shipped pictures are in `wallpapersFolder` (and the shipped profiles imported
    // once, into `modelContext`).
    BackgroundImageStore(ModelContext *modelContext, const QString &wallpapersFolder);

    const QList<BuiltInBackground> &backgrounds() const { return m_backgrounds; }

private:
    QList<BuiltInBackground> m_backgrounds;
};

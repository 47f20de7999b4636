#pragma once

#include "KivDesktopBackground/Background.h"

#include <QList>

// The ten colours every colour grid offers first. Fixed for the life of the store.
class BackgroundColorStore
{
public:
    BackgroundColorStore();

    const QList<KivDesktopBackground::Background> &backgrounds() const { return m_backgrounds; }

    // The presets' hex texts, in grid order.
    static const QStringList presetHexTexts;

private:
    QList<KivDesktopBackground::Background> m_backgrounds;
};

#pragma once

#include "Tapestrel/background/BuiltInBackground.h"

#include <QList>

// The five gradients every gradient grid offers first, top to bottom, each with a fresh id.
class BackgroundGradientStore
{
public:
    BackgroundGradientStore();

    const QList<BuiltInBackground> &backgrounds() const { return m_backgrounds; }

    // The presets' colours as hex texts, in grid order.
    static const QList<QStringList> presetHexTexts;

private:
    QList<BuiltInBackground> m_backgrounds;
};

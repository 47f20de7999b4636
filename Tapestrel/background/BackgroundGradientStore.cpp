#include "Tapestrel/background/BackgroundGradientStore.h"

#include "KivUtilities/Color.h"

using KivDesktopBackground::Background;
using KivDesktopBackground::SerializableLinearGradient;

const QList<QStringList> BackgroundGradientStore::presetHexTexts = {
    {QStringLiteral("#9c78f7"), QStringLiteral("#607dc4"), QStringLiteral("#438cac")},
    {QStringLiteral("#8df1fd"), QStringLiteral("#fbe870")},
    {QStringLiteral("#ed6fa3"), QStringLiteral("#fbea7b")},
    {QStringLiteral("#a3f8e5"), QStringLiteral("#3841cc")},
    {QStringLiteral("#ebaaad"), QStringLiteral("#6ca3ed")},
};

BackgroundGradientStore::BackgroundGradientStore()
{
    for (const QStringList &hexTexts : presetHexTexts) {
        QList<QColor> colors;
        for (const QString &hex : hexTexts)
            colors.append(KivUtilities::colorFromHex(hex).value_or(QColor()));
        const auto gradient =
            SerializableLinearGradient::fromColors(colors, QPointF(0.5, 0), QPointF(0.5, 1));
        m_backgrounds.append(BuiltInBackground(Background::linearGradient(gradient)));
    }
}

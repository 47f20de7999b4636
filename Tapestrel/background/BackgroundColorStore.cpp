#include "Tapestrel/background/BackgroundColorStore.h"

#include "KivUtilities/Color.h"

using KivDesktopBackground::Background;

const QStringList BackgroundColorStore::presetHexTexts = {
    QStringLiteral("#f8db49"), QStringLiteral("#ee8e35"), QStringLiteral("#ea3c37"),
    QStringLiteral("#57be64"), QStringLiteral("#57bdca"), QStringLiteral("#3d8bf7"),
    QStringLiteral("#a57f61"), QStringLiteral("#6d737e"), QStringLiteral("#2d2d2d"),
    QStringLiteral("#4b20a5"),
};

BackgroundColorStore::BackgroundColorStore()
{
    for (const QString &hex : presetHexTexts)
        m_backgrounds.append(Background::color(KivUtilities::colorFromHex(hex).value_or(QColor())));
}

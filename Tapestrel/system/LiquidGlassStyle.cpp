#include "Tapestrel/system/LiquidGlassStyle.h"

#include <QCoreApplication>

QString toRawValue(LiquidGlassStyle style)
{
    return style == LiquidGlassStyle::tinted ? QStringLiteral("1") : QStringLiteral("0");
}

QString title(LiquidGlassStyle style)
{
    return style == LiquidGlassStyle::tinted ? QCoreApplication::translate("LiquidGlassStyle", "Tinted")
                                             : QCoreApplication::translate("LiquidGlassStyle", "Clear");
}

template<> const QList<LiquidGlassStyle> &allCases<LiquidGlassStyle>()
{
    static const QList<LiquidGlassStyle> cases {LiquidGlassStyle::clear, LiquidGlassStyle::tinted};
    return cases;
}

#include "Tapestrel/system/Appearance.h"

#include <QCoreApplication>

QString toRawValue(Appearance appearance)
{
    return appearance == Appearance::dark ? QStringLiteral("dark") : QStringLiteral("light");
}

QString title(Appearance appearance)
{
    return appearance == Appearance::dark ? QCoreApplication::translate("Appearance", "Dark")
                                          : QCoreApplication::translate("Appearance", "Light");
}

template<> const QList<Appearance> &allCases<Appearance>()
{
    static const QList<Appearance> cases {Appearance::light, Appearance::dark};
    return cases;
}

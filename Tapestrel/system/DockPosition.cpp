#include "Tapestrel/system/DockPosition.h"

#include <QCoreApplication>

QString toRawValue(DockPosition position)
{
    switch (position) {
    case DockPosition::left:
        return QStringLiteral("left");
    case DockPosition::bottom:
        return QStringLiteral("bottom");
    case DockPosition::right:
        return QStringLiteral("right");
    }
    return {};
}

QString title(DockPosition position)
{
    switch (position) {
    case DockPosition::left:
        return QCoreApplication::translate("DockPosition", "Left");
    case DockPosition::bottom:
        return QCoreApplication::translate("DockPosition", "Bottom");
    case DockPosition::right:
        return QCoreApplication::translate("DockPosition", "Right");
    }
    return {};
}

template<> const QList<DockPosition> &allCases<DockPosition>()
{
    static const QList<DockPosition> cases {DockPosition::left, DockPosition::bottom, DockPosition::right};
    return cases;
}

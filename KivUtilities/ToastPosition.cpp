#include "KivUtilities/ToastPosition.h"

namespace KivUtilities {

QString toRawValue(ToastPosition position)
{
    switch (position) {
    case ToastPosition::Top:
        return QStringLiteral("top");
    case ToastPosition::Bottom:
        return QStringLiteral("bottom");
    case ToastPosition::Center:
        return QStringLiteral("center");
    }
    return QStringLiteral("bottom");
}

std::optional<ToastPosition> toastPositionFromRawValue(const QString &raw)
{
    if (raw == QLatin1String("top"))
        return ToastPosition::Top;
    if (raw == QLatin1String("bottom"))
        return ToastPosition::Bottom;
    if (raw == QLatin1String("center"))
        return ToastPosition::Center;
    return std::nullopt;
}

} // namespace KivUtilities

#include "Tapestrel/system/IconAndWidgetStyle.h"

#include <QCoreApplication>

namespace {

struct Entry
{
    IconAndWidgetStyle style;
    const char *raw;
    const char *title;
};

const Entry entries[] = {
    {IconAndWidgetStyle::defaultStyle, "default", QT_TRANSLATE_NOOP("IconAndWidgetStyle", "Default")},
    {IconAndWidgetStyle::darkAlways, "RegularDark", QT_TRANSLATE_NOOP("IconAndWidgetStyle", "Dark: Always")},
    {IconAndWidgetStyle::darkAuto, "RegularAutomatic", QT_TRANSLATE_NOOP("IconAndWidgetStyle", "Dark: Auto")},
    {IconAndWidgetStyle::clearLight, "ClearLight", QT_TRANSLATE_NOOP("IconAndWidgetStyle", "Clear: Light")},
    {IconAndWidgetStyle::clearDark, "ClearDark", QT_TRANSLATE_NOOP("IconAndWidgetStyle", "Clear: Dark")},
    {IconAndWidgetStyle::clearAuto, "ClearAutomatic", QT_TRANSLATE_NOOP("IconAndWidgetStyle", "Clear: Auto")},
    {IconAndWidgetStyle::tintedLight, "TintedLight",
     QT_TRANSLATE_NOOP("IconAndWidgetStyle", "Tinted: Light")},
    {IconAndWidgetStyle::tintedDark, "TintedDark", QT_TRANSLATE_NOOP("IconAndWidgetStyle", "Tinted: Dark")},
    {IconAndWidgetStyle::tintedAuto, "TintedAutomatic",
     QT_TRANSLATE_NOOP("IconAndWidgetStyle", "Tinted: Auto")},
};

const Entry &entry(IconAndWidgetStyle style)
{
    return entries[int(style)];
}

} // namespace

QString toRawValue(IconAndWidgetStyle style)
{
    return QString::fromLatin1(entry(style).raw);
}

QString title(IconAndWidgetStyle style)
{
    return QCoreApplication::translate("IconAndWidgetStyle", entry(style).title);
}

bool isTinted(IconAndWidgetStyle style)
{
    return style == IconAndWidgetStyle::tintedLight || style == IconAndWidgetStyle::tintedDark
        || style == IconAndWidgetStyle::tintedAuto;
}

template<> const QList<IconAndWidgetStyle> &allCases<IconAndWidgetStyle>()
{
    static const QList<IconAndWidgetStyle> cases = [] {
        QList<IconAndWidgetStyle> list;
        for (const Entry &e : entries)
            list.append(e.style);
        return list;
    }();
    return cases;
}

#include "Tapestrel/ui/preview/ProfilePreviewLayout.h"

#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/system/AccentColor.h"
#include "Tapestrel/system/FolderColor.h"
#include "Tapestrel/system/SystemColor.h"

namespace {

const QString appearanceKey = QStringLiteral("system.ui.appearance");
const QString autoHideMenuBarKey = QStringLiteral("system.misc.autoHideMenuBar");
const QString autoHideDockKey = QStringLiteral("system.desktop.dock.autoHide");
const QString dockPositionKey = QStringLiteral("system.dock.position");
const QString showWidgetsKey = QStringLiteral("system.ui.desktop.ShowWidgets");
const QString styleKey = QStringLiteral("system.desktop.iconAndWidgetStyle");
const QString folderColorKey = QStringLiteral("system.finder.folderColor");
const QString accentColorKey = QStringLiteral("system.ui.accentColor");
const QString showIconsKey = QStringLiteral("system.ui.desktop.ShowIcons");
const QString stageManagerKey = QStringLiteral("system.desktop.stageManager.enable");

// Widths in the reference picture 180 points wide.
double scaled(double width, double reference)
{
    return width * reference / 180;
}

} // namespace

ProfilePreviewValues ProfilePreviewValues::read(const Profile &profile)
{
    ProfilePreviewValues values;
    values.isLight = profile.value(appearanceKey) == QLatin1String("light");
    // Menu bar and Dock show only when the profile says plainly that they do not hide.
    values.showsMenuBar = boolFromOptionValue(profile.value(autoHideMenuBarKey)) == false;
    values.showsDock = boolFromOptionValue(profile.value(autoHideDockKey)) == false;
    values.dockPosition =
        fromRawValue<DockPosition>(profile.value(dockPositionKey)).value_or(DockPosition::bottom);
    values.showsWidgets = boolFromOptionValue(profile.value(showWidgetsKey)) == true;
    values.style =
        fromRawValue<IconAndWidgetStyle>(profile.value(styleKey)).value_or(IconAndWidgetStyle::defaultStyle);
    values.showsIcons = boolFromOptionValue(profile.value(showIconsKey)) != false;
    values.hasStageManager = boolFromOptionValue(profile.value(stageManagerKey)) == true;
    values.folderTint = previewFolderTint(profile.value(folderColorKey), profile.value(accentColorKey));
    return values;
}

QColor previewFolderTint(const QString &folderColorText, const QString &accentColorText)
{
    const FolderColor folder = FolderColor::fromJson(folderColorText).value_or(FolderColor {});
    if (const auto own = FolderColor::swatchColor(folder.kind))
        return *own;
    if (folder.kind == FolderColor::Kind::custom && folder.customColor)
        return folder.customColor->toColor();
    const AccentColor accent = fromRawValue<AccentColor>(accentColorText).value_or(AccentColor::multicolor);
    if (const auto color = AccentColors::swatchColor(accent))
        return *color;
    return SystemColors::color(SystemColor::blue);
}

QColor previewElementColor(bool isLight)
{
    return isLight ? QColor(246, 246, 246, 217) : QColor(40, 40, 42, 217);
}

QColor previewElementBorderColor(bool isLight)
{
    return isLight ? QColor(0, 0, 0, 31) : QColor(255, 255, 255, 46);
}

ProfilePreviewLayout ProfilePreviewLayout::make(const ProfilePreviewValues &values, QSizeF size)
{
    const double W = size.width();
    const double H = size.height();
    const bool dockLeft = values.dockPosition == DockPosition::left;
    const bool dockRight = values.dockPosition == DockPosition::right;

    ProfilePreviewLayout layout;
    layout.size = size;
    layout.elementColor = previewElementColor(values.isLight);
    layout.elementBorderColor = previewElementBorderColor(values.isLight);
    layout.widgetColor = isTinted(values.style) ? values.folderTint : layout.elementColor;
    layout.iconColor = values.folderTint;

    if (values.showsMenuBar)
        layout.menuBar = QRectF(0, 0, W, scaled(W, 8));

    if (values.showsDock) {
        if (values.dockPosition == DockPosition::bottom) {
            const QSizeF dock(W * 0.5, scaled(W, 16));
            layout.dock = QRectF(QPointF((W - dock.width()) / 2, H - dock.height()), dock);
        } else {
            const QSizeF dock(scaled(W, 16), W / 3);
            const double x = dockLeft ? 0 : W - dock.width();
            layout.dock = QRectF(QPointF(x, (H - dock.height()) / 2), dock);
        }
    }

    const double margin = scaled(W, 6);
    if (values.showsWidgets) {
        const double height = W * 9 * 0.0625 / 6;
        const double wide = W * 0.25;
        const double small = (wide - margin * 0.5) * 0.5;
        double left = margin;
        if (dockLeft)
            left += scaled(W, 16);
        if (values.hasStageManager && !dockLeft)
            left += 24;
        const double top = margin * 0.5 * 5;
        const double rowTop = top + height + margin * 0.5;
        layout.widgets = {QRectF(left, top, wide, height), QRectF(left, rowTop, small, height),
                          QRectF(left + wide - small, rowTop, small, height)};
    }

    if (values.showsIcons) {
        const double u = scaled(W, 8);
        const double icon = u * 1.8;
        const double spacing = u * 0.25;
        double trailing = u;
        if (dockRight)
            trailing += scaled(W, 16);
        if (values.hasStageManager && dockLeft)
            trailing += 16;
        const double right = W - trailing;
        const double top = 2 * u;
        layout.icons = {QRectF(right - 2 * icon - spacing, top, icon, icon),
                        QRectF(right - icon, top, icon, icon),
                        QRectF(right - icon, top + icon + spacing, icon, icon)};
    }

    if (values.hasStageManager) {
        const double side = scaled(W, 17);
        const double spacing = margin / 3;
        // Beside a Dock on the left the strip moves to the right edge.
        const double x = dockLeft ? W - margin - side : margin;
        double y = (H - (3 * side + 2 * spacing)) / 2;
        StageManagerStrip strip;
        strip.tilt = dockLeft ? -10 : 10;
        for (int i = 0; i < 3; ++i, y += side + spacing)
            strip.thumbnails.append(QRectF(x, y, side, side));
        layout.stageManager = strip;
    }
    return layout;
}

#pragma once

#include "Tapestrel/system/DockPosition.h"
#include "Tapestrel/system/IconAndWidgetStyle.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

class Profile;

// What a profile's stored values say about its miniature desktop. Every value is read as stored:
// an option disabled in the profile, or everywhere, still shapes the picture.
struct ProfilePreviewValues
{
    // True only for the exact text "light"; anything else draws the dark elements.
    bool isLight = false;
    bool showsMenuBar = false;
    bool showsDock = false;
    DockPosition dockPosition = DockPosition::bottom;
    bool showsWidgets = false;
    IconAndWidgetStyle style = IconAndWidgetStyle::defaultStyle;
    bool showsIcons = true;
    bool hasStageManager = false;
    QColor folderTint;

    static ProfilePreviewValues read(const Profile &profile);
};

// The tint of folder icons: the folder colour's own colour, else its custom colour, else the accent
// colour, else the standard blue. Unreadable texts count as automatic and multicolor.
QColor previewFolderTint(const QString &folderColorText, const QString &accentColorText);

// The colours that stand for the menu bar, Dock and windows in a light or dark profile.
QColor previewElementColor(bool isLight);
QColor previewElementBorderColor(bool isLight);

// Where everything of the miniature desktop lies, in the picture's own coordinates. Every length
// follows the width, except the fixed insets beside Stage Manager, the radii and the line widths.
struct ProfilePreviewLayout
{
    struct StageManagerStrip
    {
        QList<QRectF> thumbnails;
        // Degrees about the vertical axis, turned around each thumbnail's top right corner:
        // negative when the strip stands at the right edge.
        double tilt = 0;
    };

    QSizeF size;
    QColor elementColor;
    QColor elementBorderColor;
    QColor widgetColor;
    QColor iconColor;
    std::optional<QRectF> menuBar;
    std::optional<QRectF> dock;
    // The wide widget, then the two small ones; empty when widgets are hidden.
    QList<QRectF> widgets;
    // Two folders side by side, then one below the right one; empty when icons are hidden.
    QList<QRectF> icons;
    std::optional<StageManagerStrip> stageManager;

    static constexpr double cornerRadius = 9;
    static constexpr double dockCornerRadius = 5;
    static constexpr double widgetCornerRadius = 5;
    static constexpr double thumbnailCornerRadius = 3;

    static ProfilePreviewLayout make(const ProfilePreviewValues &values, QSizeF size);
};

#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

class QWidget;

namespace KivUtilities {

// The program names its images by system symbol names ("trash", "info.circle", ...). This maps every
// name the program uses to an icon of the breeze theme (Qt's fallback theme, so it is found whatever
// theme the desktop sets), or to a small bundled SVG where breeze has nothing that fits.
// The icon sets draw their symbols in the dark text colour of a light palette; a symbol drawn in one
// grey ink is drawn in the text colour of the palette in use instead (as symbolic icons are on GNOME
// and KDE), so that it shows on dark palettes as well. Symbols in colours keep them.
class Symbols
{
public:
    // The property that widgets showing a symbol carry, holding its name.
    static constexpr const char *propertyName = "symbol";

    // The icon for a symbol name; a null icon for a name the table does not know (nothing is drawn).
    static QIcon icon(const QString &name);
    // The symbol name an icon returned by icon() was made for; empty for any other icon.
    static QString nameOf(const QIcon &icon);
    // Shows the symbol on a label (as a picture of `extent` points, drawn anew in the label's text
    // colour whenever its palette changes) or a button (as its icon) and keeps the name in the
    // widget's "symbol" property. An empty name clears the image.
    static void apply(QWidget *widget, const QString &name, int extent = 16);

    // Every symbol name of the table, sorted.
    static QStringList names();
    // The breeze icon name, or the resource path of the bundled SVG, that a symbol maps to.
    static QString source(const QString &name);

    // Sets breeze as Qt's fallback icon theme and makes the bundled SVGs available. icon() calls it;
    // the application calls it once at start so theme lookups elsewhere see breeze as well.
    static void ensureFallbackTheme();
    // Loads the plugin that draws SVG icons, which the first SVG icon drawn would load (the icon
    // themes' symbols are SVG). Draws nothing; callable from any thread.
    static void loadSvgIconEngine();
};

} // namespace KivUtilities

#pragma once

#include <QWidget>

// The quieter text styles of the settings pages: secondary for hints and paths, tertiary for
// placeholders and entries that are switched off. Both follow the palette, so they stay readable
// in a light and a dark theme.
namespace TextStyle {

enum class Level { secondary, tertiary };

// Gives the widget's text (and that of its children) the colour of the level, from the text colour
// around it, now and whenever that changes.
void apply(QWidget *widget, Level level);
// Smaller text, for captions under a heading.
void makeCaption(QWidget *widget);

} // namespace TextStyle

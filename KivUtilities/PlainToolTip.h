#pragma once

#include <QString>

namespace KivUtilities {

// A tool tip that shows the text as typed. Qt renders a tip as rich text as soon as it looks like
// markup, so a file or theme name holding "<b>" would turn bold; such a text is escaped, any other
// text is handed back unchanged.
QString plainToolTip(const QString &text);

} // namespace KivUtilities

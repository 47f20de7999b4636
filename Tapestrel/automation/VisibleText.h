#pragma once

#include "KivUtilities/VisibleText.h"

#include <QString>

using KivUtilities::visibleControls;
using KivUtilities::visibleInMessage;

// A name or id as a message repeats it: visibly, and no longer than 200 characters ("…" saying that
// more was cut), whatever length a caller sent.
QString shownInMessage(const QString &text);

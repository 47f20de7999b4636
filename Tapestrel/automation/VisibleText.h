#pragma once

#include <QString>

// Names and ids come from any caller on the bus and from any restored backup. Written to a terminal
// as they are, their control characters would steer it (escape sequences set its title or clipboard,
// a carriage return overprints, a line break and a tab forge a row of `tapestrel list`) and the
// controls of writing direction would reverse what follows. These show them instead.

// `text` with each control character written as a JSON string writes it ("\n", "\t", "\u001b") and
// each control of writing direction as "\u202e" and the like; everything else as it is.
QString visibleControls(const QString &text);

// A name or id as a message repeats it: visibly, and no longer than 200 characters ("…" saying that
// more was cut), whatever length a caller sent.
QString shownInMessage(const QString &text);

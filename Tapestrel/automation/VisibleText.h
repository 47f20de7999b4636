#pragma once

#include <QString>

// Names and ids come from any caller on the bus and from any restored backup. Written to a terminal
// as they are, their control characters would steer it (escape sequences set its title or clipboard,
// a carriage return overprints, a line break and a tab forge a row of `tapestrel list`) and the
// controls of writing direction would reverse what follows. These show them instead.

// `text` as a JSON string writes it: each control character as "\n", "\t", "\u001b" and the like, the
// backslash as "\\" (so that a typed "\t" never reads as a tab), each control of writing direction
// and each separator of lines or paragraphs as "\u202e" and the like; everything else as it is.
QString visibleControls(const QString &text);

// A message this program composed, whose names and ids went through visibleControls already: its
// backslashes are those escapes and stay as they are; anything else that would steer a terminal is
// shown as visibleControls shows it.
QString visibleInMessage(const QString &message);

// A name or id as a message repeats it: visibly, and no longer than 200 characters ("…" saying that
// more was cut), whatever length a caller sent.
QString shownInMessage(const QString &text);

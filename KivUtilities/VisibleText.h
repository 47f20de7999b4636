#pragma once

#include <QString>

// Text from elsewhere (names and ids from any caller on the bus or any restored backup, what another
// process writes) that reaches a terminal. Written as it is, its control characters would steer it
// (escape sequences set its title or clipboard, clear it, a carriage return overprints, a line break and
// a tab forge a row of a listing) and the controls of writing direction would reverse what follows.
// These show them instead.
namespace KivUtilities {

// `text` as a JSON string writes it: each control character as "\n", "\t", "\u001b" and the like, the
// backslash as "\\" (so that a typed "\t" never reads as a tab), each control of writing direction
// and each separator of lines or paragraphs as "\u202e" and the like; everything else as it is.
QString visibleControls(const QString &text);

// A message this program composed, whose names and ids went through visibleControls already: its
// backslashes are those escapes and stay as they are; anything else that would steer a terminal is
// shown as visibleControls shows it.
QString visibleInMessage(const QString &message);

// Lines that another program wrote: each line break stays one, everything else is shown as
// visibleControls shows it.
QString visibleLines(const QString &text);

} // namespace KivUtilities

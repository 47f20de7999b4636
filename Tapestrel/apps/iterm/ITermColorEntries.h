#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

// How a preset's entries meet a terminal profile of iTerm2. A profile keeps every colour twice, once
// for each appearance: the preset's entry "Background Color" is the profile's "Background Color (Dark)"
// and "Background Color (Light)". Newer presets carry such entries themselves, beside or instead of
// the plain one; where a preset has "Background Color (Dark)", that entry is the dark appearance's and
// the plain one is only for the appearance the preset has no entry of its own for. A profile's entries
// without such a suffix are never read or written, and no name ever gets the suffix twice.
namespace ITermColorEntries {

// The profile's entry for a preset entry in the given appearance.
QString variantName(const QString &entry, bool isDark);

// The profile's entries that the preset sets in the given appearance, by the profile's names.
QVariantMap entriesFor(const QVariantMap &preset, bool isDark);

// Property-list equality: dictionaries and lists deeply, numbers (Booleans included) by their
// numeric value whatever their type, texts by their characters, data and dates exactly; values of
// different kinds are never equal. No tolerance for colour components.
bool equal(const QVariant &a, const QVariant &b);

// Whether the profile holds every entry of the preset in the appearance's variant: an entry absent
// from both counts as held, absent from one of them does not. Entries the preset does not name do
// not matter, so a preset without entries matches every profile.
bool matches(const QVariantMap &preset, const QVariantMap &profile, bool isDark);

// Sets each of the profile's variant entries that differs from the preset's entry (or is missing) to
// the preset's value. Returns whether anything changed.
bool copy(const QVariantMap &preset, QVariantMap &profile, bool isDark);

} // namespace ITermColorEntries

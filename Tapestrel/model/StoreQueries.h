#pragma once

// The queries that read every stored row of a kind, shared by the context's fetches and by
// snapshots, and those that add or write a row, shared by the context's saves and by merges, so that
// all of them name the store's columns once. Columns and parameters come in the order given here.
namespace StoreQueries {

// id, uuid, name, isEnabled
inline constexpr const char *allProfiles = "SELECT id, uuid, name, isEnabled FROM profiles ORDER BY id";
// id, key, value, isEnabled, profile: grouped by profile, each group in list order.
inline constexpr const char *allListedOptions =
    "SELECT id, \"key\", \"value\", isEnabled, profile FROM options "
    "WHERE profile IS NOT NULL ORDER BY profile, position, id";
// id, uuid, type, backgroundValue, bookmarkData
inline constexpr const char *allBackgrounds =
    "SELECT id, uuid, type, backgroundValue, bookmarkData FROM custom_backgrounds ORDER BY id";

// The row's id comes last, where the updates below take it: left unbound (null), the store numbers
// the row itself.
// uuid, name, isEnabled, id
inline constexpr const char *insertProfile =
    "INSERT INTO profiles (uuid, name, isEnabled, id) VALUES (?, ?, ?, ?)";
// key, value, isEnabled, profile, position, id
inline constexpr const char *insertOption = "INSERT INTO options (\"key\", \"value\", isEnabled, profile, "
                                            "position, id) VALUES (?, ?, ?, ?, ?, ?)";
// uuid, type, backgroundValue, bookmarkData, id
inline constexpr const char *insertBackground =
    "INSERT INTO custom_backgrounds (uuid, type, backgroundValue, "
    "bookmarkData, id) VALUES (?, ?, ?, ?, ?)";

// The same columns, written into the row of the id.
inline constexpr const char *updateProfile =
    "UPDATE profiles SET uuid = ?, name = ?, isEnabled = ? WHERE id = ?";
inline constexpr const char *updateOption = "UPDATE options SET \"key\" = ?, \"value\" = ?, isEnabled = ?, "
                                            "profile = ?, position = ? WHERE id = ?";
inline constexpr const char *updateBackground =
    "UPDATE custom_backgrounds SET uuid = ?, type = ?, backgroundValue = ?, bookmarkData = ? WHERE id = ?";

// The tables and their columns as the updates above name them, for a save that writes some of them.
struct Columns
{
    const char *table;
    const char *names[5];
};
inline constexpr Columns profileColumns {"profiles", {"uuid", "name", "isEnabled"}};
inline constexpr Columns optionColumns {"options",
                                        {"\"key\"", "\"value\"", "isEnabled", "profile", "position"}};
inline constexpr Columns backgroundColumns {"custom_backgrounds",
                                            {"uuid", "type", "backgroundValue", "bookmarkData"}};

} // namespace StoreQueries

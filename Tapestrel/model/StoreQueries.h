#pragma once

// The queries that read every stored row of a kind, shared by the context's fetches and by
// snapshots so that both name the store's columns once. Columns come in the order given here.
namespace StoreQueries {

// id, uuid, name, isEnabled
inline constexpr const char *allProfiles = "SELECT id, uuid, name, isEnabled FROM profiles ORDER BY id";
// id, key, value, isEnabled, profile: grouped by profile, each group in list order.
inline constexpr const char *allListedOptions = "SELECT id, \"key\", \"value\", isEnabled, profile FROM options "
                                                "WHERE profile IS NOT NULL ORDER BY profile, position, id";
// id, uuid, type, backgroundValue, bookmarkData
inline constexpr const char *allBackgrounds =
    "SELECT id, uuid, type, backgroundValue, bookmarkData FROM custom_backgrounds ORDER BY id";

} // namespace StoreQueries

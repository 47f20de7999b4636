#pragma once

#include <QString>

#include <optional>

namespace Platform {

// The user's cloud drive: the folder "Library/Mobile Documents" of the emulated home, in which every
// program has a container folder of its own ("iCloud~" and its bundle identifier with the dots
// turned into "~"). The drive counts as present only while it is enabled, as it would be after the
// user switched it on in the system settings:
//
// - $TAPESTREL_CLOUD_DRIVE, when set, decides: "1", "true", "yes" or "on" enable the drive, any
//   other value (also the empty one) disables it;
// - otherwise the Boolean "CloudDriveEnabled" of the global preference domain does (off when absent).
//
// The drive folder may exist while the drive is disabled (other cloud services keep files there);
// that alone never makes it present. Both are read on every call. Safe on any thread.
class CloudDrive
{
public:
    static constexpr const char *environmentVariable = "TAPESTREL_CLOUD_DRIVE";
    static const QString enabledKey; // "CloudDriveEnabled" in the global domain

    static bool isEnabled();
    // Stores the setting in the global domain; $TAPESTREL_CLOUD_DRIVE still overrides it.
    static bool setEnabled(bool enabled);

    // "Library/Mobile Documents" below the emulated home, whether or not the drive is enabled.
    static QString drivePath();
    // "iCloud~com~quorvane~Tapestrel" for "com.quorvane.Tapestrel".
    static QString containerName(const QString &bundleIdentifier);

    // The program's own container (its standard domain's bundle identifier), or another program's.
    // Nothing while the drive is disabled or when the container folder cannot be created; the
    // container folder itself is created on demand, as the platform does when a program asks for it.
    static std::optional<QString> containerPath();
    static std::optional<QString> containerPath(const QString &bundleIdentifier);
};

} // namespace Platform

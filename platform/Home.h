#pragma once

#include <QString>

namespace Platform {

// The emulated home folder. Everything the desktop platform would keep in the user's home (preference
// domains, application support, containers, installed applications) lives below it, so that one
// folder holds all of the state the program reads and writes outside its own data.
//
// The root is $TAPESTREL_HOME, or "tapestrel/home" below the XDG data folder. It is read on every
// call, so a test that points the variable elsewhere sees the new root at once.
class Home
{
public:
    static QString root();

    // "~" and "~/..." resolve below the root, and so do absolute platform paths of the system's own
    // folders ("/Applications/...", "/Library/..."); anything else is returned unchanged.
    static QString resolve(const QString &path);

    // root() joined with a relative path.
    static QString path(const QString &relative);

    static QString preferencesFolder(); // Library/Preferences
    static QString applicationSupportFolder(); // Library/Application Support
    static QString applicationsFolder(); // Applications
};

} // namespace Platform

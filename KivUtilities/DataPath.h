#pragma once

#include <QString>

#include <optional>

namespace KivUtilities {

// Where the program keeps its files: "Library/Application Support/<bundle identifier>" below the
// emulated home, with "-tests" appended to the folder name while the environment has the variable
// TEST (with any value, even empty). The folder is created when the path is first asked for.
//
// Both values are computed once per home and may be set afterwards. A process normally has one home
// for its whole life; tests that point $TAPESTREL_HOME at a fresh folder get that folder's values.
class DataPath
{
public:
    static QString path();
    static void setPath(const QString &path);

    // The program's folder in the cloud drive ("Library/Mobile Documents/iCloud~com~quorvane~Tapestrel"),
    // present only while the cloud drive ("Library/Mobile Documents") exists.
    static std::optional<QString> ubiquityContainerPath();
    static void setUbiquityContainerPath(const std::optional<QString> &path);

    // The identifier that names the program's folders and its preference domain.
    static QString bundleIdentifier();
};

} // namespace KivUtilities

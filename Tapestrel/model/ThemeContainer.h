#pragma once

#include <QString>

#include <optional>

class Profile;

// One line of a profile's theme list: the application (or the application and option), the theme's
// name as the user knows it, and whether the theme ships with the application.
struct ThemeInfo
{
    QString application;
    QString theme;
    bool isBuiltIn = false;

    friend bool operator==(const ThemeInfo &, const ThemeInfo &) = default;
};

// An option model whose value names a theme of another application. The theme-list export asks it
// which theme a profile sets.
class ThemeContainer
{
public:
    virtual ~ThemeContainer() = default;

    // The theme that the profile's value of the model's option selects, looked up in the other
    // application's current themes; none when the value names no theme.
    virtual std::optional<ThemeInfo> themeInfo(const Profile *profile) const = 0;
};

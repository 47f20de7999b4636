#pragma once

// Questions about the running system that other parts of the program ask.
class EnvironmentInfo
{
public:
    static EnvironmentInfo &shared();

    // Whether the real desktop shows dark mode, where the program reaches it (its own setting, or the
    // desktop portal's); elsewhere, true exactly when the program's defaults (whose search list covers
    // the global domain) hold the text "Dark" for "AppleInterfaceStyle". Missing means the light
    // appearance.
    bool isDarkMode() const;

private:
    EnvironmentInfo() = default;
};

#pragma once

#include "KivDesktopBackground/Background.h"

#include <optional>

class Profile;

// The background a profile sets, as its row, its preview and the background option read it: the
// option "system.desktop.background.picture" holds background JSON, or in profiles of older
// versions the file URL of an image, which counts only while the file exists. Nothing when the
// profile sets no readable background.
std::optional<KivDesktopBackground::Background> profileBackground(const Profile &profile);

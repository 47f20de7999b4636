#pragma once

#include "Tapestrel/apps/frame/Theme.h"

// A VS Code colour theme: `id` is what VS Code's theme setting holds, `name` what is shown.
using VSCodeTheme = Theme;

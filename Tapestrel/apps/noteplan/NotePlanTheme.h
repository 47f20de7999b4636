#pragma once

#include "Tapestrel/apps/frame/Theme.h"

// A NotePlan theme: its id is a built-in id, or a custom theme's file name with its extension.
using NotePlanTheme = Theme;

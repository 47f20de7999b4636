#pragma once

#include "Tapestrel/apps/frame/ThemePicker.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeStore.h"

// The picker of NotePlan's theme: "Don't set", the built-in themes and the custom ones, which are
// read again each time it comes on screen.
class NotePlanThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    NotePlanThemePicker(Option *option, NotePlanThemeStore *store, QWidget *parent = nullptr)
        : ThemePicker(
            option, tr("Theme"), QString(),
            [store] { return builtInAndCustomSections(*store, customHeader()); }, store,
            [store] { store->reloadCustomThemes(); }, parent)
    { }
};

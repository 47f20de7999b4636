#pragma once

#include "Tapestrel/apps/frame/ThemePicker.h"

#include <memory>

class XcodeThemeStore;

// "Theme": "Don't set", a divider, "Built-in Themes" and "User Themes", each row a theme file's
// name without extension standing for its file name. It owns the store it was given and never
// reloads it.
class XcodeThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    XcodeThemePicker(Option *option, std::unique_ptr<XcodeThemeStore> themeStore, QWidget *parent = nullptr);
    ~XcodeThemePicker() override;

    XcodeThemeStore *themeStore() const { return m_themeStore.get(); }

private:
    std::unique_ptr<XcodeThemeStore> m_themeStore;
};

#pragma once

#include "Tapestrel/apps/frame/ThemePicker.h"

#include <memory>

class TerminalThemeStore;

// A Terminal theme picker: "Don't set", a divider and the names of Terminal's profiles, without
// section headers. It owns the store it was given.
class TerminalThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    TerminalThemePicker(Option *option, std::unique_ptr<TerminalThemeStore> themeStore, const QString &title,
                        QWidget *parent = nullptr);
    ~TerminalThemePicker() override;

    TerminalThemeStore *themeStore() const { return m_themeStore.get(); }

private:
    std::unique_ptr<TerminalThemeStore> m_themeStore;
};

#pragma once

#include "Tapestrel/widgets/AppSection.h"

class ObsidianAppConfig;
class ObsidianSelectedVaultController;
class ObsidianSettingsView;
class QLabel;
class QToolButton;

// Obsidian's part of a profile's editor. Both options act on the one chosen vault, so the section
// names that vault in its footer and shows the option rows only while one is chosen; without one it
// says how to choose it. The settings button in its header opens the sheet in which the vault is
// chosen.
class ObsidianSection : public AppSection
{
    Q_OBJECT

public:
    ObsidianSection(Profile *profile, const ObsidianAppConfig *config, SynchronizedOptionsStore *store,
                    QWidget *parent = nullptr);

    ObsidianSelectedVaultController *selectedVaultController() const { return m_controller; }
    // Null until the section has been built (the application was found installed).
    QToolButton *settingsButton() const;
    QLabel *footerLabel() const;
    QWidget *optionRows() const;
    QLabel *noVaultLabel() const;
    // The open settings sheet, or null.
    ObsidianSettingsView *settingsView() const;

    // What the settings button does.
    void showSettings();

private:
    struct Parts;
    ObsidianSection(std::shared_ptr<Parts> parts, Profile *profile, const ObsidianAppConfig *config,
                    SynchronizedOptionsStore *store, QWidget *parent);

    std::shared_ptr<Parts> m_parts;
    ObsidianSelectedVaultController *m_controller;
};

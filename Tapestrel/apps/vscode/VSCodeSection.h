#pragma once

#include "Tapestrel/apps/vscode/VSCodeAppConfig.h"
#include "Tapestrel/widgets/AppSection.h"

#include <QPointer>

#include <memory>

class QLabel;
class QToolButton;
class VSCodeSelectedProfileController;
class VSCodeSettingsView;

// VS Code's editor section: a settings button in the header that opens the sheet in which the VS
// Code profile is chosen; the theme row while a profile is chosen, a hint otherwise; the chosen
// profile's name in the footer.
class VSCodeSection : public AppSection
{
    Q_OBJECT

public:
    VSCodeSection(Profile *profile, const VSCodeAppConfig *config, SynchronizedOptionsStore *store,
                  QWidget *parent = nullptr);

    VSCodeSelectedProfileController *selectedProfileController() const;
    // The parts, once the section is built (while VS Code is installed); null before.
    QToolButton *settingsButton() const;
    QLabel *footerLabel() const;
    QWidget *themeRow() const;
    QWidget *noProfileHint() const;
    // The sheet while it is shown.
    VSCodeSettingsView *settingsView() const { return m_settingsView; }

    // Opens the sheet that chooses the VS Code profile.
    void showSettings();

    // The section's parts; the base class builds them while this class is not yet constructed.
    struct Parts;

private:
    VSCodeSection(Profile *profile, const VSCodeAppConfig *config, SynchronizedOptionsStore *store,
                  std::shared_ptr<Parts> parts, QWidget *parent);

    std::shared_ptr<Parts> m_parts;
    QPointer<VSCodeSettingsView> m_settingsView;
};

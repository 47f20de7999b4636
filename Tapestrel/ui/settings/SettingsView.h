#pragma once

#include "KivApp/DataResetController.h"
#include "KivApp/SettingsPage.h"

#include <memory>

class ProgramServices;
class TapestrelDataResetController;

// The data page resets through the kit, which deletes what urls() lists after the reset. The
// program's reset has already deleted the store's files while the store was closed and opened a
// fresh one, so nothing is left for the kit to delete: listing the files again would delete the
// fresh store under the running program.
class KitDataResetController : public KivApp::DataResetController
{
public:
    explicit KitDataResetController(TapestrelDataResetController &controller);

    QCoro::Task<void> reset() override;
    QList<QUrl> urls() const override { return {}; }

private:
    TapestrelDataResetController &m_controller;
};

// The settings window of the program: its settings as opposed to those of one profile, in tabs.
class SettingsView : public KivApp::SettingsWindow
{
    Q_OBJECT

public:
    static constexpr int windowWidth = 600;

    // The services must outlive the window.
    explicit SettingsView(ProgramServices &services, QWidget *parent = nullptr);
    ~SettingsView() override;

private:
    std::unique_ptr<KitDataResetController> m_resetController;
};

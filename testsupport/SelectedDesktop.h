#pragma once

#include "platform/AppearancePortal.h"
#include "platform/LinuxDesktop.h"

#include <memory>

namespace TestSupport {

// Puts a stand-in for the real desktop (or none) in place for the life of the object, whatever the
// environment says; the environment decides again afterwards. Header only: for the tests of modules
// that build on the platform layer.
class SelectedDesktop
{
public:
    explicit SelectedDesktop(std::shared_ptr<Platform::LinuxDesktop> desktop)
    {
        Platform::LinuxDesktop::select(std::move(desktop));
    }
    ~SelectedDesktop() { Platform::LinuxDesktop::followEnvironment(); }
    SelectedDesktop(const SelectedDesktop &) = delete;
    SelectedDesktop &operator=(const SelectedDesktop &) = delete;
};

// The same for the desktop portal.
class SelectedPortal
{
public:
    explicit SelectedPortal(std::shared_ptr<Platform::AppearancePortal> portal)
    {
        Platform::AppearancePortal::select(std::move(portal));
    }
    ~SelectedPortal() { Platform::AppearancePortal::followEnvironment(); }
    SelectedPortal(const SelectedPortal &) = delete;
    SelectedPortal &operator=(const SelectedPortal &) = delete;
};

} // namespace TestSupport

#pragma once

#include "KivWhatsNew/ReleaseStore.h"
#include "KivWhatsNew/WhatsNewSettingsStore.h"

#include "KivUtilities/UpdateDetector.h"

#include <functional>

namespace KivWhatsNew {

// The running application's version text: its version, or "n/a" when it has none.
QString runningVersionText();

// Decides once per launch which release's notes are due: only after an update, only when the
// newest release is exactly the running version, and only while that version's flag is unset. On
// the first installed version it sets the flag instead, so those notes never come later.
class ReleaseFinder
{
public:
    using VersionSource = std::function<QString()>;

    // The objects outlive the finder. The version source defaults to runningVersionText().
    ReleaseFinder(KivUtilities::UpdateDetector &updateDetector, const ReleaseStore &releaseStore,
                  WhatsNewSettingsStore &settingsStore, VersionSource versionSource = {});

    // Worked out on the first call and kept.
    const std::optional<Release> &releaseToDisplay();

private:
    std::optional<Release> find();

    KivUtilities::UpdateDetector &m_updateDetector;
    const ReleaseStore &m_releaseStore;
    WhatsNewSettingsStore &m_settingsStore;
    VersionSource m_versionSource;
    std::optional<std::optional<Release>> m_releaseToDisplay;
};

} // namespace KivWhatsNew

#include "KivWhatsNew/ReleaseFinder.h"

#include <QCoreApplication>

namespace KivWhatsNew {

QString runningVersionText()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("n/a") : version;
}

ReleaseFinder::ReleaseFinder(KivUtilities::UpdateDetector &updateDetector, const ReleaseStore &releaseStore,
                             WhatsNewSettingsStore &settingsStore, VersionSource versionSource)
    : m_updateDetector(updateDetector)
    , m_releaseStore(releaseStore)
    , m_settingsStore(settingsStore)
    , m_versionSource(versionSource ? std::move(versionSource) : VersionSource(runningVersionText))
{ }

const std::optional<Release> &ReleaseFinder::releaseToDisplay()
{
    if (!m_releaseToDisplay)
        m_releaseToDisplay = find();
    return *m_releaseToDisplay;
}

std::optional<Release> ReleaseFinder::find()
{
    const KivUtilities::Version current(m_versionSource());
    if (m_releaseStore.releases.isEmpty())
        return std::nullopt;
    const Release &newest = m_releaseStore.releases.last();
    if (m_updateDetector.differsFromFirstInstalledVersion()) {
        if (current == newest.version && !m_settingsStore.didDisplay(current.string))
            return newest;
        return std::nullopt;
    }
    m_settingsStore.setDidDisplay(current.string);
    return std::nullopt;
}

} // namespace KivWhatsNew

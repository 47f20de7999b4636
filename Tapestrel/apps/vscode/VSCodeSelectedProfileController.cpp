#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"

#include "Tapestrel/apps/vscode/VSCodeProfileStore.h"

#include "platform/UserDefaults.h"

VSCodeSelectedProfileController::VSCodeSelectedProfileController(QObject *parent)
    : QObject(parent)
    , m_defaults(&Platform::UserDefaults::standard())
{
    // Queued, like a notification posted to the main queue: a controller that answers a change
    // with a write of its own never runs inside another controller's write.
    connect(m_defaults, &Platform::UserDefaults::changed, this,
            &VSCodeSelectedProfileController::handleUserDefaultsChange, Qt::QueuedConnection);
    reload();
}

void VSCodeSelectedProfileController::setProfile(const std::optional<VSCodeProfile> &profile)
{
    publish(profile);
    storeProfileID();
}

void VSCodeSelectedProfileController::reload()
{
    if (!m_defaults)
        return;
    const std::optional<QString> stored = m_defaults->string(profileIDKey);
    const VSCodeProfileStore store;
    if (!stored || stored->isEmpty()) {
        publish(store.profiles().first());
        storeProfileID();
        return;
    }
    for (const VSCodeProfile &profile : store.profiles()) {
        if (profile.id == *stored) {
            publish(profile);
            storeProfileID();
            return;
        }
    }
    publish(std::nullopt);
    if (store.listWasRead())
        storeProfileID();
}

void VSCodeSelectedProfileController::publish(const std::optional<VSCodeProfile> &profile)
{
    if (m_profile == profile)
        return;
    m_profile = profile;
    emit profileChanged();
}

void VSCodeSelectedProfileController::storeProfileID()
{
    if (!m_defaults)
        return;
    if (m_profile) {
        if (m_defaults->string(profileIDKey) != m_profile->id)
            m_defaults->setValue(profileIDKey, m_profile->id);
    } else {
        m_defaults->remove(profileIDKey);
    }
}

void VSCodeSelectedProfileController::handleUserDefaultsChange()
{
    if (!m_defaults)
        return;
    const std::optional<QString> stored = m_defaults->string(profileIDKey);
    const std::optional<QString> current = m_profile ? std::optional<QString>(m_profile->id) : std::nullopt;
    if (stored == current)
        return;
    reload();
}

#include "KivUpdates/KivUpdates.h"

StandardUpdaterController::StandardUpdaterController(Updater::VersionSource currentVersion, QObject *parent)
    : QObject(parent)
    , m_updater(std::move(currentVersion))
{ }

KivUpdates::KivUpdates(bool automaticallyChecks, Updater::VersionSource currentVersion, QObject *parent)
    : QObject(parent)
    , m_controller(std::move(currentVersion))
{
    m_controller.updater().setAutomaticallyChecksForUpdates(automaticallyChecks);
    // One check now, whether or not checks run on their own later.
    m_controller.updater().checkForUpdatesInBackground();
}

#include "KivUtilities/UpdateDetector.h"

#include "KivUtilities/SharedInstance.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>

#include <mutex>

namespace KivUtilities {

namespace {

std::optional<QString> applicationVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        return std::nullopt;
    return version;
}

} // namespace

UpdateDetector::UpdateDetector(QString firstInstalledVersionKey, VersionSource versionSource)
    : m_key(std::move(firstInstalledVersionKey))
    , m_versionSource(versionSource ? std::move(versionSource) : VersionSource(applicationVersion))
{ }

UpdateDetector &UpdateDetector::shared()
{
    return SharedInstance<UpdateDetector>::get([] { return std::make_unique<UpdateDetector>(); });
}

void UpdateDetector::setShared(std::unique_ptr<UpdateDetector> detector)
{
    SharedInstance<UpdateDetector>::set(std::move(detector));
}

std::optional<Version> UpdateDetector::currentVersion() const
{
    if (const auto text = m_versionSource())
        return Version(*text);
    return std::nullopt;
}

std::optional<QString> UpdateDetector::storedText() const
{
    return Platform::UserDefaults::standard().string(m_key);
}

void UpdateDetector::initialize(const QString &markerKey)
{
    if (!Platform::UserDefaults::standard().value(markerKey).isValid())
        storeCurrentVersionAsFirstInstalled();
    m_wasInitialized = true;
}

void UpdateDetector::storeCurrentVersionAsFirstInstalled()
{
    const auto current = currentVersion();
    auto &defaults = Platform::UserDefaults::standard();
    defaults.setValue(m_key, current ? current->string : unknownVersion);
    defaults.synchronize();
}

bool UpdateDetector::differsFromFirstInstalledVersion() const
{
    const auto current = currentVersion();
    if (!current)
        return false;
    const auto stored = storedText();
    return !stored || *stored != current->string;
}

bool UpdateDetector::isNotFirstInstalledVersion() const
{
    const auto stored = storedText();
    if (!stored)
        return true;
    const auto current = currentVersion();
    return !current || *stored != current->string;
}

} // namespace KivUtilities

#include "KivIntroduction/ShouldDisplayIntroductionChecker.h"

#include "KivUtilities/UpdateDetector.h"
#include "platform/UserDefaults.h"

namespace KivIntroduction {

namespace {
const QString didAcceptLicenseKey = QStringLiteral("didAcceptLicense");
}

DefaultShouldDisplayChecker::DefaultShouldDisplayChecker(QString didDisplayUserDefaultsKey,
                                                         KivUtilities::UpdateDetector *updateDetector)
    : m_key(std::move(didDisplayUserDefaultsKey))
    , m_updateDetector(updateDetector)
{
    Platform::UserDefaults::standard().registerDefaults({{m_key, false}});
}

bool DefaultShouldDisplayChecker::shouldDisplay() const
{
    if (m_updateDetector && m_updateDetector->isNotFirstInstalledVersion())
        return false;
    return !Platform::UserDefaults::standard().boolean(m_key);
}

void DefaultShouldDisplayChecker::markAsDisplayed()
{
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    defaults.setValue(m_key, true);
    defaults.synchronize();
}

LicenseAgreementChecker::LicenseAgreementChecker(QObject *parent)
    : QObject(parent)
{
    connect(&Platform::UserDefaults::standard(), &Platform::UserDefaults::changed, this,
            &LicenseAgreementChecker::refresh, Qt::QueuedConnection);
    m_isAccepted = Platform::UserDefaults::standard().boolean(didAcceptLicenseKey);
}

void LicenseAgreementChecker::refresh()
{
    const bool accepted = Platform::UserDefaults::standard().boolean(didAcceptLicenseKey);
    if (accepted == m_isAccepted)
        return;
    m_isAccepted = accepted;
    emit isAcceptedChanged(accepted);
}

} // namespace KivIntroduction

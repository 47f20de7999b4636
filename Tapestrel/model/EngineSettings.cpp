#include "Tapestrel/model/EngineSettings.h"

#include "platform/UserDefaults.h"

namespace {

const QString didApplyAnyProfileKey = QStringLiteral("didApplyAnyProfile");
const QString lastAppliedProfileIDKey = QStringLiteral("lastAppliedProfileID");

std::function<QStringList()> &disabledSource()
{
    static std::function<QStringList()> source;
    return source;
}

} // namespace

namespace EngineSettings {

bool didApplyAnyProfile()
{
    return Platform::UserDefaults::standard().boolean(didApplyAnyProfileKey);
}

void setDidApplyAnyProfile(bool applied)
{
    Platform::UserDefaults::standard().setValue(didApplyAnyProfileKey, applied);
}

QString lastAppliedProfileID()
{
    return Platform::UserDefaults::standard().string(lastAppliedProfileIDKey).value_or(QString());
}

void setLastAppliedProfileID(const QString &uuid)
{
    Platform::UserDefaults::standard().setValue(lastAppliedProfileIDKey, uuid);
}

QStringList disabledOptionIDs()
{
    if (const auto &source = disabledSource())
        return source();
    return {};
}

void setDisabledOptionIDsSource(std::function<QStringList()> source)
{
    disabledSource() = std::move(source);
}

} // namespace EngineSettings

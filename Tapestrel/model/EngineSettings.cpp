#include "Tapestrel/model/EngineSettings.h"

#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"

namespace {

std::function<QStringList()> &disabledSource()
{
    static std::function<QStringList()> source;
    return source;
}

std::function<QStringList()> &programDisabledSource()
{
    static std::function<QStringList()> source;
    return source;
}

} // namespace

namespace EngineSettings {

// A Defaults object reads and writes the same stored settings as the main controller's, whose
// observers hear every change; using one here keeps the profile operations from creating the main
// controller.
bool didApplyAnyProfile()
{
    return Defaults().didApplyAnyProfile();
}

void setDidApplyAnyProfile(bool applied)
{
    Defaults().setDidApplyAnyProfile(applied);
}

QString lastAppliedProfileID()
{
    return Defaults().lastAppliedProfileID();
}

void setLastAppliedProfileID(const QString &uuid)
{
    Defaults().setLastAppliedProfileID(uuid);
}

QStringList disabledOptionIDs()
{
    if (const auto &source = disabledSource())
        return source();
    if (const auto &source = programDisabledSource())
        return source();
    return {};
}

void setDisabledOptionIDsSource(std::function<QStringList()> source)
{
    disabledSource() = std::move(source);
}

void setProgramDisabledOptionIDsSource(std::function<QStringList()> source)
{
    programDisabledSource() = std::move(source);
}

} // namespace EngineSettings

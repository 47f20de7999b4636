#include "Tapestrel/model/ProfileController.h"

#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

#include "platform/LinuxDesktop.h"

namespace {

ProfileController::DockRestart &dockRestartOverride()
{
    static ProfileController::DockRestart restart;
    return restart;
}

ProfileController::DockRestart &programDockRestart()
{
    static ProfileController::DockRestart restart;
    return restart;
}

} // namespace

ProfileController::ProfileController(Profile *profile, DisabledOptionIDs disabledOptionIDs,
                                     OptionStore &options)
    : m_profile(profile)
    , m_disabledOptionIDs(std::move(disabledOptionIDs))
    , m_options(&options)
{ }

void ProfileController::setDockRestart(DockRestart restart)
{
    dockRestartOverride() = std::move(restart);
}

void ProfileController::setProgramDockRestart(DockRestart restart)
{
    programDockRestart() = std::move(restart);
}

QCoro::Task<void> ProfileController::restartDock()
{
    // Copied: the function may be replaced while the restart runs.
    DockRestart restart = dockRestartOverride() ? dockRestartOverride() : programDockRestart();
    if (restart)
        co_await restart();
}

QCoro::Task<std::shared_ptr<ProfileOperationQueue::Turn>> ProfileController::turn()
{
    if (m_turn)
        co_return m_turn;
    co_return co_await ProfileOperationQueue::shared().waitForTurn(m_attendance);
}

bool ProfileController::profileIsGone() const
{
    return !m_profile || m_profile->isDeleted();
}

bool ProfileController::stopped() const
{
    return profileIsGone() || ProfileOperationQueue::shared().appliesEnded();
}

QCoro::Task<ApplyResult> ProfileController::apply(Progress progress)
{
    if (!m_turn)
        ProfileOperationQueue::shared().announceApply(m_profile);
    const auto held = co_await turn();
    // A desktop tool that hangs costs this apply its time-out once, not once per option.
    const Platform::LinuxDesktop::ChangeRound round;
    ApplyResult result;
    if (stopped()) {
        result.completed = false;
        co_return result;
    }
    result.profileName = m_profile->name();
    const QList<OptionModel *> models = m_options->options();
    const double count = models.size();
    auto needsDockRestart = std::make_shared<bool>(false);
    for (int index = 0; index < models.size(); ++index) {
        OptionModel *model = models[index];
        const QString key = model->key();
        const Option *option = m_profile->option(key);
        // A setting the profile does not hold, or holds without a value (recorded while its
        // application was absent, or "Don't set"), is left as the user set it.
        if (!option || !option->isEnabled() || option->value().isEmpty())
            continue;
        if (m_disabledOptionIDs && m_disabledOptionIDs().contains(key))
            continue;
        const QString value = option->value();
        try {
            co_await model->apply(value, m_profile, needsDockRestart);
        } catch (const std::exception &error) {
            // One option that cannot be applied does not keep the others from being applied; the
            // caller tells the user which ones failed.
            result.failures.append(OptionFailure::of(*model, error));
        }
        // The profile was deleted while its option was applied: the rest of it no longer exists. Or
        // the program is ending.
        if (stopped()) {
            result.completed = false;
            co_return result;
        }
        if (progress)
            progress((index + 1) / count);
    }
    if (*needsDockRestart)
        co_await restartDock();
    co_return result;
}

QCoro::Task<void> ProfileController::apply(OptionModel *model)
{
    const auto held = co_await turn();
    if (stopped() || !model)
        co_return;
    const QString value = m_profile->value(model->key());
    if (value.isEmpty())
        co_return;
    const Platform::LinuxDesktop::ChangeRound round;
    auto needsDockRestart = std::make_shared<bool>(false);
    co_await model->apply(value, m_profile, needsDockRestart);
    if (*needsDockRestart)
        co_await restartDock();
}

bool ProfileController::store(const QString &key, const std::optional<QString> &value)
{
    // A reading that ends after its profile was deleted has nowhere to go.
    if (profileIsGone())
        return false;
    // Nothing read (the application is not installed, or shows no value): nothing is recorded, so
    // that an apply later leaves whatever the user sets meanwhile.
    if (value && !value->isEmpty())
        m_profile->findOrCreateOption(key)->setValue(*value);
    return true;
}

QCoro::Task<void> ProfileController::readCurrentSettings()
{
    const auto held = co_await turn();
    const QList<OptionModel *> models = m_options->options();
    for (OptionModel *model : models) {
        if (profileIsGone())
            co_return;
        std::optional<QString> value;
        try {
            value = co_await model->readCurrentValue(m_profile);
        } catch (const std::exception &) {
            // A model that fails to read counts as one that could not read its value: nothing is
            // recorded, so the profile keeps what it held (a new one shows the setting without a
            // value in its editor) and an apply leaves that setting as the user has it. No one
            // waits on a reading's outcome, and nothing is lost by it.
        }
        if (!store(model->key(), value))
            co_return;
    }
}

QCoro::Task<void> ProfileController::readCurrentValue(OptionModel *model)
{
    const auto held = co_await turn();
    if (stopped() || !model)
        co_return;
    const Platform::LinuxDesktop::ChangeRound round;
    std::optional<QString> value;
    try {
        value = co_await model->readCurrentValue(m_profile);
    } catch (const std::exception &) {
        // As in readCurrentSettings(): a failed reading records nothing and changes nothing, and nobody
        // waits on its outcome.
    }
    store(model->key(), value);
}

#include "Tapestrel/model/AutosaveController.h"

#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"

AutosaveController::AutosaveController(double interval, bool isRun, ModelContainer *modelContainer,
                                       std::function<void()> onSaveAction, QObject *parent)
    : QObject(parent)
    , m_interval(interval)
    , m_isRun(isRun)
    , m_modelContainer(modelContainer)
    , m_onSaveAction(std::move(onSaveAction))
{ }

void AutosaveController::start()
{
    if (m_timer)
        return;
    m_timer = std::make_unique<QTimer>();
    m_timer->setInterval(periodMilliseconds);
    connect(m_timer.get(), &QTimer::timeout, this, &AutosaveController::tick);
    m_timer->start();
}

void AutosaveController::tick()
{
    if (m_modelContainer) {
        try {
            m_modelContainer->mainContext()->save();
        } catch (const ModelError &error) {
            // Tried again at the next tick; nothing to show the user.
            qWarning("Autosave failed: %s", error.what());
        }
    }
    if (m_onSaveAction)
        m_onSaveAction();
}

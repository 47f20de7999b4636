#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class ModelContainer;

// Saves the profile store's main context every second and then calls onSaveAction (the program
// lets its backup planner run there). A failed save is retried at the next tick; the action is
// called whatever the save did, also once the container is gone.
class AutosaveController : public QObject
{
    Q_OBJECT

public:
    static constexpr int periodMilliseconds = 1000;

    // `interval` and `isRun` are kept as given; the period is always one second.
    AutosaveController(double interval, bool isRun, ModelContainer *modelContainer,
                       std::function<void()> onSaveAction, QObject *parent = nullptr);

    double interval() const { return m_interval; }
    bool isRun() const { return m_isRun; }
    ModelContainer *modelContainer() const { return m_modelContainer; }
    // Null until started.
    const QTimer *timer() const { return m_timer.get(); }

    // Starts the repeating timer on this thread; later calls do nothing.
    void start();

private:
    void tick();

    const double m_interval;
    const bool m_isRun;
    QPointer<ModelContainer> m_modelContainer;
    std::function<void()> m_onSaveAction;
    std::unique_ptr<QTimer> m_timer;
};

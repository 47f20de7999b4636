#pragma once

#include "KivUpdates/Updater.h"

#include <QObject>

// Owns the program's updater and starts it.
class StandardUpdaterController : public QObject
{
    Q_OBJECT

public:
    explicit StandardUpdaterController(Updater::VersionSource currentVersion = {}, QObject *parent = nullptr);

    Updater &updater() { return m_updater; }
    // A check the user asked for: it always reports its result.
    void checkForUpdates() { m_updater.checkForUpdates(); }

private:
    Updater m_updater;
};

// The update checks of the program: made once at start-up, it sets whether checks run on their own
// and asks for one background check at once.
class KivUpdates : public QObject
{
    Q_OBJECT

public:
    explicit KivUpdates(bool automaticallyChecks, Updater::VersionSource currentVersion = {},
                        QObject *parent = nullptr);

    StandardUpdaterController &controller() { return m_controller; }
    void checkForUpdates() { m_controller.checkForUpdates(); }

private:
    StandardUpdaterController m_controller;
};

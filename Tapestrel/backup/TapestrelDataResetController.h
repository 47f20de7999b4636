#pragma once

#include <QCoro/QCoroTask>

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

// The program's side of resetting its data: a locked backup of every profile and background first,
// then the store's files go, and the program goes on with a fresh, empty store.
class TapestrelDataResetController
{
public:
    // What the reset does to the running program, given by the main controller (and by tests).
    struct Steps
    {
        // Makes a locked backup of all profiles and backgrounds; throws when it cannot.
        std::function<QCoro::Task<void>()> makeLockedBackup;
        // The autosave timer must not save into a store that is going away.
        std::function<void()> stopAutosave;
        std::function<void()> startAutosave;
        // Closes every connection to the store files, and opens a new store at the same place.
        std::function<void()> closeStore;
        std::function<void()> openStore;
    };

    TapestrelDataResetController(QString dataDirectory, Steps steps);

    // The store's files, whether they exist or not, in a fixed order.
    QList<QUrl> urls() const;

    // Backs up (a failed backup stops the reset before anything is touched), stops the autosave,
    // closes the store, deletes its files, opens a fresh store and starts the autosave again. Throws
    // when a file could not be deleted; the program still has a working store then.
    QCoro::Task<void> reset();

private:
    QString m_dataDirectory;
    Steps m_steps;
};

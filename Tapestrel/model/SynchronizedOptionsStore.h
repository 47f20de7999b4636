#pragma once

#include "Tapestrel/model/ScheduledProfile.h"
#include "platform/CloudKeyValueStore.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>


// The two settings that follow the user through the cloud key-value store: option identifiers
// switched off for every profile, and the daily schedule. Every assignment is written to the store
// at once; changes that arrive from other machines replace the lists without being written back.
// Lives on the main thread.
class SynchronizedOptionsStore : public QObject
{
    Q_OBJECT

public:
    static const QString keyDisabledOptions; // "disabledOptionsIDs"
    static const QString keyScheduledProfiles; // "scheduledProfiles"

    // Loads both lists, asks the store to synchronise and follows its external changes.
    explicit SynchronizedOptionsStore(Platform::CloudKeyValueStore &store, QObject *parent = nullptr);

    Platform::CloudKeyValueStore *store() const { return m_store; }

    QStringList disabledOptionsIDs() const { return m_disabledOptionsIDs; }
    // Publishes the list, then writes it.
    void setDisabledOptionsIDs(const QStringList &ids);
    QList<ScheduledProfile> scheduledProfiles() const { return m_scheduledProfiles; }
    void setScheduledProfiles(const QList<ScheduledProfile> &entries);

    void storeDisabledOptionsIDs();
    void storeScheduledProfiles();

    // Reads both keys. A missing or unreadable value gives an empty list in memory; the stored value
    // is left as it is until the user assigns a new list.
    void load();
    // Takes over changed lists from the store's external-change details (reason and changed keys).
    // The assignments run later on this object's thread, and only for lists that differ.
    void handleUbiquitousStoreChange(const QVariantMap &userInfo);

signals:
    void disabledOptionsIDsAboutToChange();
    void disabledOptionsIDsChanged();
    void scheduledProfilesAboutToChange();
    void scheduledProfilesChanged();

private:
    QStringList readDisabledOptionsIDs() const;
    QList<ScheduledProfile> readScheduledProfiles() const;
    void assignDisabledOptionsIDs(const QStringList &ids, bool store);
    void assignScheduledProfiles(const QList<ScheduledProfile> &entries, bool store);

    QPointer<Platform::CloudKeyValueStore> m_store;
    QStringList m_disabledOptionsIDs;
    QList<ScheduledProfile> m_scheduledProfiles;
};

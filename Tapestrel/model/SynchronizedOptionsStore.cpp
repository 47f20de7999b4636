#include "Tapestrel/model/SynchronizedOptionsStore.h"

#include "platform/CloudKeyValueStore.h"

#include <QMetaObject>

const QString SynchronizedOptionsStore::keyDisabledOptions = QStringLiteral("disabledOptionsIDs");
const QString SynchronizedOptionsStore::keyScheduledProfiles = QStringLiteral("scheduledProfiles");

SynchronizedOptionsStore::SynchronizedOptionsStore(Platform::CloudKeyValueStore &store, QObject *parent)
    : QObject(parent)
    , m_store(&store)
{
    load();
    store.synchronize();
    connect(&store, &Platform::CloudKeyValueStore::didChangeExternally, this,
            &SynchronizedOptionsStore::handleUbiquitousStoreChange);
}

void SynchronizedOptionsStore::setDisabledOptionsIDs(const QStringList &ids)
{
    assignDisabledOptionsIDs(ids, true);
}

void SynchronizedOptionsStore::setScheduledProfiles(const QList<ScheduledProfile> &entries)
{
    assignScheduledProfiles(entries, true);
}

void SynchronizedOptionsStore::assignDisabledOptionsIDs(const QStringList &ids, bool store)
{
    emit disabledOptionsIDsAboutToChange();
    m_disabledOptionsIDs = ids;
    emit disabledOptionsIDsChanged();
    if (store)
        storeDisabledOptionsIDs();
}

void SynchronizedOptionsStore::assignScheduledProfiles(const QList<ScheduledProfile> &entries, bool store)
{
    emit scheduledProfilesAboutToChange();
    m_scheduledProfiles = entries;
    emit scheduledProfilesChanged();
    if (store)
        storeScheduledProfiles();
}

void SynchronizedOptionsStore::storeDisabledOptionsIDs()
{
    if (!m_store)
        return;
    m_store->setValue(keyDisabledOptions, m_disabledOptionsIDs);
    m_store->synchronize();
}

void SynchronizedOptionsStore::storeScheduledProfiles()
{
    if (!m_store)
        return;
    m_store->setValue(keyScheduledProfiles, ScheduledProfile::encodeList(m_scheduledProfiles));
    m_store->synchronize();
}

QStringList SynchronizedOptionsStore::readDisabledOptionsIDs() const
{
    const QVariant value = m_store ? m_store->value(keyDisabledOptions) : QVariant();
    if (value.typeId() != QMetaType::QVariantList && value.typeId() != QMetaType::QStringList)
        return {};
    QStringList ids;
    for (const QVariant &element : value.toList()) {
        // One element of another type makes the whole list unreadable.
        if (element.typeId() != QMetaType::QString)
            return {};
        ids.append(element.toString());
    }
    return ids;
}

QList<ScheduledProfile> SynchronizedOptionsStore::readScheduledProfiles() const
{
    const QVariant value = m_store ? m_store->value(keyScheduledProfiles) : QVariant();
    if (value.typeId() != QMetaType::QByteArray)
        return {};
    try {
        return ScheduledProfile::decodeList(value.toByteArray());
    } catch (const JsonDecodeError &) {
        return {};
    }
}

void SynchronizedOptionsStore::load()
{
    const QStringList ids = readDisabledOptionsIDs();
    if (ids != m_disabledOptionsIDs)
        assignDisabledOptionsIDs(ids, false);
    const QList<ScheduledProfile> entries = readScheduledProfiles();
    if (entries != m_scheduledProfiles)
        assignScheduledProfiles(entries, false);
}

void SynchronizedOptionsStore::handleUbiquitousStoreChange(const QVariantMap &userInfo)
{
    if (userInfo.isEmpty())
        return;
    const QVariant reason = userInfo.value(Platform::CloudKeyValueStore::changeReasonKey);
    bool isInteger = false;
    const int reasonValue = reason.toInt(&isInteger);
    const bool integral = reason.typeId() == QMetaType::Int || reason.typeId() == QMetaType::LongLong
        || reason.typeId() == QMetaType::UInt || reason.typeId() == QMetaType::ULongLong;
    if (!reason.isValid() || !integral || !isInteger
        || reasonValue < Platform::CloudKeyValueStore::ServerChange
        || reasonValue > Platform::CloudKeyValueStore::AccountChange)
        return;
    // Without a readable list of changed keys, both lists are read again.
    const QVariant keys = userInfo.value(Platform::CloudKeyValueStore::changedKeysKey);
    bool textsOnly = keys.typeId() == QMetaType::QStringList || keys.typeId() == QMetaType::QVariantList;
    if (keys.typeId() == QMetaType::QVariantList) {
        for (const QVariant &key : keys.toList())
            textsOnly = textsOnly && key.typeId() == QMetaType::QString;
    }
    if (textsOnly) {
        const QStringList changed = keys.toStringList();
        if (!changed.contains(keyDisabledOptions) && !changed.contains(keyScheduledProfiles))
            return;
    }
    const QStringList ids = readDisabledOptionsIDs();
    const QList<ScheduledProfile> entries = readScheduledProfiles();
    // Compared and assigned later on this object's thread, one after the other, disabled list first;
    // the values came from the store, so nothing is written back.
    QPointer<SynchronizedOptionsStore> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, ids] {
            if (self && ids != self->m_disabledOptionsIDs)
                self->assignDisabledOptionsIDs(ids, false);
        },
        Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        this,
        [self, entries] {
            if (self && entries != self->m_scheduledProfiles)
                self->assignScheduledProfiles(entries, false);
        },
        Qt::QueuedConnection);
}

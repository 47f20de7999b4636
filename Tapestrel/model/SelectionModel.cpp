#include "Tapestrel/model/SelectionModel.h"

#include "Tapestrel/model/Profile.h"

SelectionModel::SelectionModel(QObject *parent)
    : QObject(parent)
{ }

SelectionModel::Selection SelectionModel::live(const Selection &profiles)
{
    Selection result;
    for (Profile *profile : profiles) {
        if (profile && !profile->isDeleted())
            result.insert(profile);
    }
    return result;
}

void SelectionModel::setSelectedProfiles(const Selection &profiles)
{
    if (assign(m_selectedProfiles, profiles))
        emit selectedProfilesChanged();
}

void SelectionModel::setSelectedProfilesForDeletion(const Selection &profiles)
{
    if (assign(m_selectedProfilesForDeletion, profiles))
        emit selectedProfilesForDeletionChanged();
}

bool SelectionModel::assign(Selection &member, const Selection &profiles)
{
    const Selection chosen = live(profiles);
    if (chosen == member)
        return false;
    watch(chosen);
    member = chosen;
    return true;
}

void SelectionModel::watch(const Selection &profiles)
{
    for (Profile *profile : profiles) {
        QObject *object = profile;
        if (m_watched.contains(object))
            continue;
        m_watched.insert(object, profile);
        connect(profile, &QObject::destroyed, this, &SelectionModel::profileDestroyed);
    }
}

void SelectionModel::profileDestroyed(QObject *object)
{
    Profile *profile = m_watched.take(object);
    if (!profile)
        return;
    if (m_selectedProfiles.remove(profile))
        emit selectedProfilesChanged();
    if (m_selectedProfilesForDeletion.remove(profile))
        emit selectedProfilesForDeletionChanged();
}

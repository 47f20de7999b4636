#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>

class Profile;

// The profiles selected in the main window, and those chosen for deletion.
class SelectionModel : public QObject
{
    Q_OBJECT

public:
    using Selection = QSet<Profile *>;

    explicit SelectionModel(QObject *parent = nullptr)
        : QObject(parent)
    { }

    Selection selectedProfiles() const { return m_selectedProfiles; }
    void setSelectedProfiles(const Selection &profiles)
    {
        if (profiles == m_selectedProfiles)
            return;
        m_selectedProfiles = profiles;
        emit selectedProfilesChanged();
    }

    Selection selectedProfilesForDeletion() const { return m_selectedProfilesForDeletion; }
    void setSelectedProfilesForDeletion(const Selection &profiles)
    {
        if (profiles == m_selectedProfilesForDeletion)
            return;
        m_selectedProfilesForDeletion = profiles;
        emit selectedProfilesForDeletionChanged();
    }

signals:
    void selectedProfilesChanged();
    void selectedProfilesForDeletionChanged();

private:
    Selection m_selectedProfiles;
    Selection m_selectedProfilesForDeletion;
};

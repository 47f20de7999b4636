#pragma once

#include <QList>
#include <QPointer>

class ModelContext;
class Profile;

// Inserts a copy of each profile: a new identity, the same name and options.
class DuplicateCommand
{
public:
    DuplicateCommand(ModelContext *context, QList<Profile *> profiles);

    // The copies, in the order of the profiles given; profiles deleted meanwhile are left out.
    QList<Profile *> execute();

private:
    QPointer<ModelContext> m_context;
    QList<QPointer<Profile>> m_profiles;
};

#pragma once

#include <QPointer>
#include <QString>

class ModelContext;
class Profile;

// Finds a stored profile by its uuid: the first match, as the store does not keep uuids unique.
class ProfileRepository
{
public:
    explicit ProfileRepository(ModelContext *modelContext);

    ModelContext *modelContext() const { return m_modelContext; }

    // The first profile with this uuid, or null when there is none (or the context is gone).
    // A failing fetch throws ModelStoreError.
    Profile *profile(const QString &id) const;

private:
    const QPointer<ModelContext> m_modelContext;
};

#pragma once

#include "Tapestrel/model/JsonCoder.h"

#include <QPointer>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <memory>
#include <vector>

class ModelContext;
class Profile;

// Merges decoded profiles into the store by uuid, in a context of its own, with one save.
class ProfileImporter
{
public:
    explicit ProfileImporter(ModelContext *modelContext);

    // The profiles of a profiles JSON array; JsonDecodeError when any element is not a profile.
    static std::vector<std::unique_ptr<Profile>> decodeProfiles(const JsonCoder::Json &array);

    // Cuts every name longer than a profile's name may be (ProfileNames) and gives what the person
    // should be told of it: nothing when no name was cut.
    static QStringList cutLongNames(const std::vector<std::unique_ptr<Profile>> &profiles);

    // A stored profile with an imported profile's uuid is replaced (with its options) when
    // `replaceExisting` is set and kept when not; new uuids are added; other stored profiles stay.
    // Names too long are cut first; gives what cutLongNames() tells. Does nothing when the context
    // is gone. Throws the store's error; then nothing is changed.
    QCoro::Task<QStringList> importProfiles(std::vector<std::unique_ptr<Profile>> profiles,
                                            bool replaceExisting);

private:
    QPointer<ModelContext> m_modelContext;
};

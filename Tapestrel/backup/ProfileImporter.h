#pragma once

#include "Tapestrel/model/JsonCoder.h"
#include "Tapestrel/model/RecordForms.h"

#include <QList>
#include <QPointer>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <memory>
#include <vector>

class ModelContext;
class Profile;

// Merges decoded profiles into the store by uuid, in one transaction (see StoreMerge).
class ProfileImporter
{
public:
    // A restore or an import takes no profile of more options than this: the program knows about a
    // hundred, and a profile of a million would be a million records to hold.
    static constexpr qsizetype maximumOptions = 1000;

    explicit ProfileImporter(ModelContext *modelContext);

    // The profiles of a profiles JSON array; JsonDecodeError when any element is not a profile.
    static std::vector<std::unique_ptr<Profile>> decodeProfiles(const JsonCoder::Json &array);

    // Cuts every name longer than a profile's name may be (ProfileNames) and gives what the person
    // should be told of it: nothing when no name was cut.
    static QStringList cutLongNames(QList<ProfileForm> &profiles);

    // A stored profile with an imported profile's uuid is replaced (with its options) when
    // `replaceExisting` is set and kept when not; new uuids are added; other stored profiles stay
    // (see StoreMerge), merged in the store's turn of merges. Names too long are cut first; gives
    // what cutLongNames() tells. Does nothing when the context is gone. Throws
    // KivBackups::BackupError for a profile of more than maximumOptions options and for two profiles
    // of one uuid, and the store's error; then nothing is changed.
    QCoro::Task<QStringList> importProfiles(std::vector<std::unique_ptr<Profile>> profiles,
                                            bool replaceExisting);

private:
    QPointer<ModelContext> m_modelContext;
};

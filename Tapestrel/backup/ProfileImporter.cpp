#include "Tapestrel/backup/ProfileImporter.h"

#include "KivBackups/BackupError.h"
#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileNames.h"

#include <QCoreApplication>
#include <QLocale>

ProfileImporter::ProfileImporter(ModelContext *modelContext)
    : m_modelContext(modelContext)
{ }

std::vector<std::unique_ptr<Profile>> ProfileImporter::decodeProfiles(const JsonCoder::Json &array)
{
    return BackupJson::decodeArray<Profile>(array);
}

QStringList ProfileImporter::cutLongNames(QList<ProfileForm> &profiles)
{
    int cut = 0;
    for (ProfileForm &profile : profiles) {
        if (profile.name.size() > ProfileNames::maximumLength) {
            profile.name = ProfileNames::cut(profile.name);
            ++cut;
        }
    }
    if (cut == 0)
        return {};
    const QString limit = QLocale().toString(ProfileNames::maximumLength);
    return {cut == 1
                ? QCoreApplication::translate("ProfileImporter",
                                              "A profile’s name was longer than %1 characters: it was cut "
                                              "to that length.")
                      .arg(limit)
                : QCoreApplication::translate("ProfileImporter",
                                              "%n profiles’ names were longer than %1 characters: they "
                                              "were cut to that length.",
                                              nullptr, cut)
                      .arg(limit)};
}

QCoro::Task<QStringList> ProfileImporter::importProfiles(std::vector<std::unique_ptr<Profile>> profiles,
                                                         bool replaceExisting)
{
    if (!m_modelContext)
        co_return QStringList();
    QList<ProfileForm> forms;
    forms.reserve(qsizetype(profiles.size()));
    for (const std::unique_ptr<Profile> &profile : profiles) {
        if (profile->options().size() > maximumOptions)
            throw KivBackups::BackupError(
                KivBackups::BackupError::domain, KivBackups::BackupError::tooManyRecordsCode,
                QCoreApplication::translate(
                    "ProfileImporter", "A profile holds more than %1 options, more than an import takes.")
                    .arg(QLocale().toString(maximumOptions)));
        forms.append(ProfileForm::of(*profile));
    }
    if (const std::optional<QString> uuid = BackupJson::repeatedUuid(forms))
        throw KivBackups::BackupError(
            KivBackups::BackupError::domain, KivBackups::BackupError::repeatedRecordCode,
            QCoreApplication::translate("ProfileImporter", "Two profiles to import have the id “%1”.")
                .arg(*uuid));
    QStringList notes = cutLongNames(forms);
    // Imports are the shipped profiles, a handful: merged at once, where the caller runs, unless a
    // restore is merging.
    co_await BackupJson::mergeIntoStore(m_modelContext, std::move(forms), {}, replaceExisting,
                                        BackupJson::MergeSize::Small);
    co_return notes;
}

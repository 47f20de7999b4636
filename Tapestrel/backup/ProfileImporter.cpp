#include "Tapestrel/backup/ProfileImporter.h"

#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/model/ModelContainer.h"
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

QStringList ProfileImporter::cutLongNames(const std::vector<std::unique_ptr<Profile>> &profiles)
{
    int cut = 0;
    for (const std::unique_ptr<Profile> &profile : profiles) {
        if (profile->name().size() > ProfileNames::maximumLength) {
            profile->setName(ProfileNames::cut(profile->name()));
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
    QStringList notes = cutLongNames(profiles);
    const BackupJson::WorkingContext context = BackupJson::makeWorkingContext(*m_modelContext);
    BackupJson::mergeByUuid(*context, context->fetchProfiles(), std::move(profiles), replaceExisting);
    context->save();
    co_return notes;
}

#include "Tapestrel/backup/CustomBackgroundImporter.h"

#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContext.h"

CustomBackgroundImporter::CustomBackgroundImporter(ModelContext *modelContext)
    : m_modelContext(modelContext)
{ }

std::vector<std::unique_ptr<CustomBackground>>
CustomBackgroundImporter::decodeBackgrounds(const JsonCoder::Json &array)
{
    return BackupJson::decodeArray<CustomBackground>(array);
}

QCoro::Task<void>
CustomBackgroundImporter::importBackgrounds(std::vector<std::unique_ptr<CustomBackground>> backgrounds,
                                            bool replaceExisting)
{
    if (!m_modelContext)
        co_return;
    QList<BackgroundForm> forms;
    forms.reserve(qsizetype(backgrounds.size()));
    for (const std::unique_ptr<CustomBackground> &background : backgrounds)
        forms.append(BackgroundForm::of(*background));
    co_await BackupJson::mergeIntoStore(m_modelContext, {}, std::move(forms), replaceExisting,
                                        BackupJson::MergeSize::Small);
}

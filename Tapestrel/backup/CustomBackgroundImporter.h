#pragma once

#include "Tapestrel/model/JsonCoder.h"

#include <QPointer>

#include <QCoro/QCoroTask>

#include <memory>
#include <vector>

class ModelContext;
class CustomBackground;

// Merges decoded custom backgrounds into the store by uuid, in one transaction (see StoreMerge).
class CustomBackgroundImporter
{
public:
    explicit CustomBackgroundImporter(ModelContext *modelContext);

    static std::vector<std::unique_ptr<CustomBackground>> decodeBackgrounds(const JsonCoder::Json &array);

    // As ProfileImporter::importProfiles; a replaced background loses its links to profiles, the
    // profiles themselves stay.
    QCoro::Task<void> importBackgrounds(std::vector<std::unique_ptr<CustomBackground>> backgrounds,
                                        bool replaceExisting);

private:
    QPointer<ModelContext> m_modelContext;
};
